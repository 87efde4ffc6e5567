// The installer's download on loopback beside the curl program, from the local service.
//
//   bench_download [megabytes=200] [runs=3]
//
// Both fetch the same signed file; the client's figure includes writing the .part file and the
// signature check, as an update does. Medians of the runs and their ratio are printed.
#include "LocalServiceProcess.h"
#include "TestSupport.h"

#include "update/InstallerDownload.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <vector>

using TestSupport::TempFolder;

namespace {

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const int megabytes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    TempFolder folder;
    {
        QFile installer(folder.File("ExamoraUpdate.run"));
        if (!installer.open(QIODevice::WriteOnly)) {
            return 1;
        }
        installer.write("#!/bin/sh\nexit 0\n#");
        const QByteArray block(1 << 20, 'x');
        for (int i = 0; i < megabytes; ++i) {
            installer.write(block);
        }
    }
    LocalServiceProcess service;
    if (!service.Start(folder.File("service.db"),
                       {"--update-version", "9.0.0.0", "--update-file", folder.File("ExamoraUpdate.run")})) {
        std::fprintf(stderr, "the local service did not start\n");
        return 1;
    }
    const std::string url = service.BaseUrl() + "client/download/ExamoraUpdate.run";
    const double bytes = static_cast<double>(QFile(folder.File("ExamoraUpdate.run")).size());

    std::vector<double> client;
    std::vector<double> curl;
    std::vector<double> check;
    for (int run = 0; run < runs; ++run) {
        const std::string target = folder.File("box-ExamoraUpdate.run").toStdString();
        QFile::remove(QString::fromStdString(target));
        QElapsedTimer clock;
        clock.start();
        const auto outcome = InstallerDownload::Run(url, target, {});
        client.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        if (outcome != InstallerDownload::Outcome::Installed) {
            std::fprintf(stderr, "the client's download failed\n");
            return 1;
        }
        // The signature check alone, on the same file.
        QFile file(QString::fromStdString(target));
        file.open(QIODevice::ReadOnly);
        const uchar* data = file.map(0, file.size());
        QProcess::execute("curl", {"-s", "-o", folder.File("sig"), QString::fromStdString(url + ".sig")});
        QFile signatureFile(folder.File("sig"));
        signatureFile.open(QIODevice::ReadOnly);
        const std::string signature = signatureFile.readAll().toStdString();
        clock.restart();
        if (data == nullptr ||
            !InstallerDownload::Verify(data, static_cast<std::size_t>(file.size()), signature)) {
            std::fprintf(stderr, "the signature check failed\n");
            return 1;
        }
        check.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        clock.restart();
        QProcess::execute("curl", {"-s", "-o", folder.File("curl.run"), QString::fromStdString(url)});
        curl.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        std::printf("run %d: client %.2f s (signature check %.2f s), curl %.2f s\n", run + 1, client.back(),
                    check.back(), curl.back());
    }
    const double ours = bytes / Median(client) / 1048576;
    const double theirs = bytes / Median(curl) / 1048576;
    std::printf("\n%d MiB on loopback, medians of %d runs\n", megabytes, runs);
    std::printf("client (download, .part, signature check) %8.1f MiB/s\n", ours);
    std::printf("curl -o                                   %8.1f MiB/s\n", theirs);
    const double transfer = bytes / (Median(client) - Median(check)) / 1048576;
    std::printf("client without the signature check        %8.1f MiB/s\n", transfer);
    std::printf("ratio %.2f with the check, %.2f for the transfer alone (goal >= 0.95)\n", ours / theirs,
                transfer / theirs);
    return 0;
}
