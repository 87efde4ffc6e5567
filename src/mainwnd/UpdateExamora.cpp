#include "mainwnd/UpdateExamora.h"

#include "diag/Log.h"
#include "dialogs/MessageBoxWnd.h"
#include "mainwnd/MainForm.h"
#include "messages/WindowMessages.h"
#include "service/OrvaManager.h"
#include "ui/LabelUI.h"
#include "ui/ProgressUI.h"
#include "update/InstallerDownload.h"

#include <QApplication>
#include <QWidget>

#include <thread>

namespace {

// The download's thread; joined before the application object goes. Never destroyed: a thread
// still joinable when static objects go would end the process with std::terminate.
std::thread& g_download = *new std::thread;

} // namespace

void FinishUpdateDownload()
{
    if (g_download.joinable()) {
        // It may be waiting in SendMessage for this thread: release it rather than wait forever.
        const CrossThreadSendsRefused refused;
        g_download.join();
    }
}

CUpdateExamora::CUpdateExamora(std::string downloadUrl, std::string installerPath)
    : m_downloadUrl(std::move(downloadUrl))
    , m_installerPath(std::move(installerPath))
{
}

void CUpdateExamora::InitWindow()
{
    // No task bar entry, above the other windows.
    GetWidget()->setWindowFlag(Qt::Tool, true);
    GetWidget()->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    m_progress = FindControl<CProgressUI>(QStringLiteral("pro_gress"));
    m_value = FindControl<CLabelUI>(QStringLiteral("lab_value"));
    // The thread reaches the window only through its handle: a window gone before the download
    // ends gets nothing.
    FinishUpdateDownload();
    g_download = std::thread([window = GetHWND(), url = m_downloadUrl, path = m_installerPath] {
        const InstallerDownload::Outcome outcome = InstallerDownload::Run(url, path, [window](int percent) {
            SendMessage(window, WM_UPDATE_PROGRESS, static_cast<WPARAM>(percent));
        });
        if (outcome == InstallerDownload::Outcome::TransferFailed) {
            SendMessage(window, WM_UPDATE_FAILED);
        } else {
            SendMessage(window, WM_UPDATE_DONE,
                        outcome == InstallerDownload::Outcome::Installed ? kInstalled : kRejected);
        }
    });
}

LRESULT CUpdateExamora::HandleMessage(WindowMessage& message)
{
    switch (message.message) {
    case WM_UPDATE_PROGRESS: {
        const int percent = static_cast<int>(message.wParam);
        if (m_progress != nullptr) {
            m_progress->SetValue(percent);
        }
        if (m_value != nullptr) {
            m_value->SetText(QStringLiteral("%1%").arg(percent));
        }
        break;
    }
    case WM_UPDATE_FAILED:
        // The installed version goes on.
        Close(1);
        static_cast<void>(ShowMainWnd());
        break;
    case WM_UPDATE_DONE:
        if (message.wParam == kInstalled) {
            LOG_INFO << "starting the installer:[" << m_installerPath << "]";
            COrvaManager::OpenUrl(QString::fromStdString(m_installerPath), 1);
        } else {
            CMessageBoxWnd::Show(GetHWND(), QStringLiteral("升级失败，请到官网下载最新版本"), 4,
                                 QStringLiteral("确定"), false);
        }
        QCoreApplication::exit(0);
        break;
    default:
        break;
    }
    return WindowImplBase::HandleMessage(message);
}

void ShowUpdateWnd(const std::string& downloadUrl, const std::string& installerPath)
{
    if (downloadUrl.empty() || installerPath.empty()) {
        static_cast<void>(ShowMainWnd());
        return;
    }
    auto* window = new CUpdateExamora(downloadUrl, installerPath);
    window->Create(WindowHandle(), QStringLiteral("Examora--升级"), 0x00000100, 0x00060000);
    window->CenterWindow();
    window->ShowWindow(true, true);
}
