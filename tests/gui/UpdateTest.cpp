// The version check, the verified download of the installer and the update window, against the
// real local service (and a loopback server for the replies the service does not give).
#include "GuiTestSupport.h"
#include "LocalServiceProcess.h"
#include "LoopbackHttpServer.h"
#include "TestSupport.h"

#include "dialogs/MessageBoxWnd.h"
#include "environment/Environment.h"
#include "mainwnd/MainForm.h"
#include "mainwnd/UpdateExamora.h"
#include "mainwnd/WkeWebkitUI.h"
#include "service/HttpTransport.h"
#include "ui/ControlFactory.h"
#include "ui/LabelUI.h"
#include "ui/ProgressUI.h"
#include "update/InstallerDownload.h"
#include "update/UpdateCheck.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

using namespace GuiTestSupport;
using TestSupport::TempFolder;
using TestSupport::WaitFor;
using namespace std::chrono_literals;
using Outcome = InstallerDownload::Outcome;

namespace {

// A shell archive of the given size that leaves "ran.txt" beside itself when started.
QByteArray Installer(int size)
{
    QByteArray script = "#!/bin/sh\necho installed > \"$(dirname \"$0\")/ran.txt\"\nexit 0\n#";
    script += QByteArray(std::max(0, size - static_cast<int>(script.size()) - 1), 'x');
    script += '\n';
    return script;
}

// The Ed25519 signature of bytes with a private key file, by the openssl program.
QByteArray Sign(const TempFolder& folder, const QByteArray& bytes, const QString& key)
{
    folder.Write("to-sign", bytes);
    QProcess openssl;
    openssl.start("openssl", {"pkeyutl", "-sign", "-rawin", "-inkey", key, "-in", folder.File("to-sign"),
                              "-out", folder.File("signature")});
    EXPECT_TRUE(openssl.waitForFinished(10000) && openssl.exitCode() == 0)
        << openssl.readAllStandardError().toStdString();
    return folder.Read("signature");
}

class UpdateTest : public testing::Test
{
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(InitHttpTransport()); }
    static void TearDownTestSuite() { ShutdownHttpTransport(); }

    void SetUp() override { UpdateCheck::Reset(); }

    // The service with the installer as a newer version, signed by the given key ("" for the
    // build's own).
    void StartService(const QByteArray& installer, const QString& key = {})
    {
        m_data.Write("ExamoraUpdate.run", installer);
        QStringList arguments{"--update-version", "9.0.0.0", "--update-file",
                              m_data.File("ExamoraUpdate.run")};
        if (!key.isEmpty()) {
            arguments << "--update-key" << key;
        }
        m_service = std::make_unique<LocalServiceProcess>();
        ASSERT_TRUE(m_service->Start(m_data.File("service.db"), arguments))
            << m_service->Output().toStdString();
    }
    [[nodiscard]] std::string DownloadUrl() const
    {
        return m_service->BaseUrl() + "client/download/ExamoraUpdate.run";
    }
    [[nodiscard]] std::string InstallerPath() const { return m_box.File("ExamoraUpdate.run").toStdString(); }

    Outcome Download(const std::string& url, std::vector<int>* percents = nullptr)
    {
        std::mutex mutex;
        std::vector<int> seen;
        const Outcome outcome = InstallerDownload::Run(url, InstallerPath(), [&](int percent) {
            const std::lock_guard lock(mutex);
            seen.push_back(percent);
        });
        if (percents != nullptr) {
            *percents = seen;
        }
        return outcome;
    }

    TempFolder m_data;
    TempFolder m_box;
    std::unique_ptr<LocalServiceProcess> m_service;
};

TEST_F(UpdateTest, TheVersionReplyDecidesBetweenTheMainAndTheUpdateWindow)
{
    std::string body;
    int status = 200;
    LoopbackHttpServer server([&](const LoopbackHttpServer::Request&) {
        LoopbackHttpServer::Response response;
        response.status = status;
        response.body = body;
        return response;
    });
    const std::string local = GetProductVersionString();
    ASSERT_EQ(local, "1.0.0.0");
    const struct
    {
        const char* name;
        std::string reply;
        int status;
        bool update;
        std::string address;
    } rows[] = {
        {"same", "1.0.0.0#http://a/x.run", 200, false, ""},
        {"older", "0.9.9.9#http://a/x.run", 200, false, ""},
        {"newer", "1.0.0.1#http://a/x.run", 200, true, "http://a/x.run"},
        {"empty version", "#http://a/x.run", 200, false, ""},
        {"blanks and CR LF", "1.0.0.1#  http://a/x.run \r\n", 200, true, "http://a/x.run"},
        {"no address", "1.0.0.1#", 200, true, ""},
        {"no #", "1.0.0.1", 200, false, ""},
        {"404", "1.0.0.1#http://a/x.run", 404, false, ""},
        {"empty", "", 200, false, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        UpdateCheck::Reset();
        body = row.reply;
        status = row.status;
        UpdateCheck::StartVersionCheck(server.Url("client/version"));
        ASSERT_TRUE(WaitFor([] { return !UpdateCheck::versionCheckBusy; }));
        EXPECT_EQ(UpdateCheck::showMainWindow, !row.update);
        if (row.update) {
            EXPECT_EQ(UpdateCheck::RecordedTarget().downloadUrl, row.address);
            EXPECT_TRUE(QString::fromStdString(UpdateCheck::RecordedTarget().installerPath)
                            .endsWith(QLatin1String("/updatebox/ExamoraUpdate.run")));
        }
    }
    // A dead server ends the wait too.
    UpdateCheck::Reset();
    UpdateCheck::StartVersionCheck("http://127.0.0.1:1/client/version");
    EXPECT_TRUE(WaitFor([] { return !UpdateCheck::versionCheckBusy; }, 20s));
    EXPECT_TRUE(UpdateCheck::showMainWindow);
}

TEST_F(UpdateTest, TheServiceOffersItsInstallerWhichDownloadsWithProgressVerifiedAndExecutable)
{
    const QByteArray installer = Installer(300000);
    StartService(installer);
    UpdateCheck::StartVersionCheck(m_service->BaseUrl() + "client/version");
    ASSERT_TRUE(WaitFor([] { return !UpdateCheck::versionCheckBusy; }));
    ASSERT_FALSE(UpdateCheck::showMainWindow);
    EXPECT_EQ(UpdateCheck::RecordedTarget().downloadUrl, DownloadUrl());

    std::vector<int> percents;
    ASSERT_EQ(Download(DownloadUrl(), &percents), Outcome::Installed);
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 100);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    QFile written(QString::fromStdString(InstallerPath()));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), installer);
    EXPECT_TRUE(QFileInfo(written).isExecutable());
    EXPECT_FALSE(m_box.Exists("ExamoraUpdate.run.part"));
}

TEST_F(UpdateTest, ABrokenTransferIsResumedWhereItStopped)
{
    const QByteArray installer = Installer(400000);
    StartService(installer);
    // A server that dies half-way through.
    LoopbackHttpServer dying([&](const LoopbackHttpServer::Request&) {
        LoopbackHttpServer::Response response;
        response.body = installer.toStdString();
        response.stallAfter = 150000;
        response.closeAfterStall = true;
        return response;
    });
    EXPECT_EQ(Download(dying.Url("ExamoraUpdate.run")), Outcome::TransferFailed);
    EXPECT_EQ(m_box.Read("ExamoraUpdate.run.part"), installer.left(150000));
    EXPECT_FALSE(m_box.Exists("ExamoraUpdate.run"));

    // The next attempt asks the service for the rest only.
    std::vector<int> percents;
    ASSERT_EQ(Download(DownloadUrl(), &percents), Outcome::Installed);
    EXPECT_EQ(m_box.Read("ExamoraUpdate.run"), installer);
    ASSERT_FALSE(percents.empty());
    EXPECT_GE(percents.front(), 37) << "progress counts the part already there";
    EXPECT_EQ(percents.back(), 100);
}

TEST_F(UpdateTest, WhatIsNotASignedInstallerIsDeletedAndNeverStarted)
{
    const QString otherKey = m_data.File("other.pem");
    QProcess::execute("openssl", {"genpkey", "-algorithm", "ed25519", "-out", otherKey});
    const struct
    {
        const char* name;
        QByteArray file;
        QString key;
    } rows[] = {
        {"exactly 10240 bytes", Installer(10240), {}},
        {"not a shell archive", QByteArray(50000, 'M'), {}},
        {"signed by another key", Installer(50000), otherKey},
        {"no signature", Installer(50000), QStringLiteral("none")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        StartService(row.file, row.key);
        EXPECT_EQ(Download(DownloadUrl()), Outcome::Rejected);
        EXPECT_FALSE(m_box.Exists("ExamoraUpdate.run"));
        EXPECT_FALSE(m_box.Exists("ExamoraUpdate.run.part"));
    }
}

TEST_F(UpdateTest, ErrorPagesUnknownSizesAndOddAddresses)
{
    const QByteArray installer = Installer(60000);
    const QByteArray signature = Sign(m_data, installer, QStringLiteral(EXAMORA_DEV_UPDATE_KEY));
    std::mutex mutex;
    std::vector<std::string> targets;
    LoopbackHttpServer server([&](const LoopbackHttpServer::Request& request) {
        {
            const std::lock_guard lock(mutex);
            targets.push_back(request.target);
        }
        LoopbackHttpServer::Response response;
        if (request.target.starts_with("/missing")) {
            response.status = 404;
            response.body = "<html>not found</html>";
        } else if (request.target.ends_with(".sig")) {
            response.body = signature.toStdString();
        } else {
            response.body = installer.toStdString();
            response.noLength = true;
        }
        return response;
    });
    // An error page is a failed transfer, and nothing of it is kept.
    EXPECT_EQ(Download(server.Url("missing/ExamoraUpdate.run")), Outcome::TransferFailed);
    EXPECT_TRUE(m_box.Read("ExamoraUpdate.run.part").isEmpty());

    // Without a size there is no progress; the installer arrives all the same. The address is
    // escaped: %20 for a space, each byte of a Chinese character, and the "?" of a query.
    std::vector<int> percents;
    EXPECT_EQ(Download(server.Url("新 版/ExamoraUpdate.run?v=9"), &percents), Outcome::Installed);
    EXPECT_TRUE(percents.empty());
    EXPECT_EQ(m_box.Read("ExamoraUpdate.run"), installer);
    const std::lock_guard lock(mutex);
    EXPECT_NE(std::find(targets.begin(), targets.end(), "/%E6%96%B0%20%E7%89%88/ExamoraUpdate.run%3Fv=9"),
              targets.end());
}

// These two come last: an update window ends the client when it is done (QCoreApplication::exit),
// after which no modal loop of the process runs any more.
TEST_F(UpdateTest, AFailedTransferGivesWayToTheMainWindowAndARejectedFileToABox)
{
    CControlFactory::GetInstance()->RegistControl(QStringLiteral("CWkeWebkitUI"), &CreateWkeWebkitUI);
    ShowUpdateWnd("http://127.0.0.1:1/ExamoraUpdate.run", InstallerPath());
    ASSERT_TRUE(WaitFor([] { return CMainForm::Current() != nullptr; }, 20s));
    delete CMainForm::Current();

    StartService(Installer(10240));
    QString said;
    ScheduleWhileModal([&] {
        said = CMessageBoxWnd::Current()->FindControl(QStringLiteral("msg_content"))->GetText();
        QApplication::activeModalWidget()->close();
    });
    ShowUpdateWnd(DownloadUrl(), InstallerPath());
    ASSERT_TRUE(WaitFor([&] { return !said.isEmpty(); }, 20s));
    EXPECT_EQ(said, QStringLiteral("升级失败，请到官网下载最新版本"));
    EXPECT_FALSE(m_box.Exists("ExamoraUpdate.run"));
}

TEST_F(UpdateTest, TheUpdateWindowShowsTheProgressThenStartsTheInstaller)
{
    StartService(Installer(200000));
    ShowUpdateWnd(DownloadUrl(), InstallerPath());
    // The installer ran: it leaves its mark beside itself.
    // The installer ran: its mark is written whole (the shell makes the file before it writes).
    ASSERT_TRUE(WaitFor([&] { return m_box.Read("ran.txt") == "installed\n"; }, 20s));
    // The window reached the end of the bar and says so.
    QWidget* window = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("CUpdateExamora")) {
            window = widget;
        }
    }
    ASSERT_NE(window, nullptr);
    QStringList texts;
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        texts << label->text();
    }
    EXPECT_TRUE(texts.contains(QStringLiteral("100%"))) << texts.join('|').toStdString();
    SaveToGallery(window, QStringLiteral("update-window"));
}

} // namespace
