#pragma once

#include "ui/WindowImplBase.h"

#include <string>

class CLabelUI;

// The modal about window: the client's version and links to the maker's home page and the user
// agreement, opened in the browser.
class CAboutWnd final : public WindowImplBase
{
public:
    static constexpr const char* kVersionPrefix = "软件版本：V";

    // version is UTF-8, as the version strings are.
    void SetVersion(const std::string& version);
    void Notify(TNotifyUI& msg) override;

protected:
    [[nodiscard]] QString GetLayoutFile() const override { return QStringLiteral("About_US_Form.xml"); }
    [[nodiscard]] QString GetWindowClassName() const override { return QStringLiteral("关于OrvaLumenroom"); }
    void InitWindow() override;

private:
    CLabelUI* m_version = nullptr;
};
