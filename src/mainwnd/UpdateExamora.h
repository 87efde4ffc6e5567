#pragma once

#include "ui/WindowImplBase.h"

#include <string>

class CLabelUI;
class CProgressUI;

// The small topmost window of an update: it downloads the installer on a thread of its own,
// shows the progress, and then starts the verified installer and ends the client, tells the user
// the download was no installer and ends it, or (the transfer failed) opens the main window so
// that the installed version can still be used.
class CUpdateExamora final : public WindowImplBase
{
public:
    // What the download thread reports with WM_UPDATE_DONE (wParam).
    static constexpr WPARAM kInstalled = 0;
    static constexpr WPARAM kRejected = 1;

    CUpdateExamora(std::string downloadUrl, std::string installerPath);

protected:
    [[nodiscard]] QString GetLayoutFile() const override { return QStringLiteral("App_Update.xml"); }
    [[nodiscard]] QString GetWindowClassName() const override { return QStringLiteral("CUpdateExamora"); }
    void InitWindow() override;
    LRESULT HandleMessage(WindowMessage& message) override;
    void OnFinalMessage() override { delete this; }

private:
    std::string m_downloadUrl;
    std::string m_installerPath;
    CProgressUI* m_progress = nullptr;
    CLabelUI* m_value = nullptr;
};

// Creates and shows the update window for the recorded update target, or the main window when
// the target has no address.
void ShowUpdateWnd(const std::string& downloadUrl, const std::string& installerPath);

// Waits for the download's thread to end (before the application object goes).
void FinishUpdateDownload();
