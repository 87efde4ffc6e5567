#pragma once

#include "ui/WindowImplBase.h"

#include <QPoint>

// A popup menu built from a menu layout file: a column of buttons, each an entry named in the
// layout. Choosing an entry posts WM_MENU_COMMAND to the owner with a MenuCommand record holding
// the entry's name, gives the owner's Notify a "click" whose sender is the entry, and closes the
// menu. Clicking elsewhere closes it without a choice. The menu deletes itself when it closes.
class CMenuWnd final : public WindowImplBase
{
public:
    // Shows the menu with its top-left corner at a screen point.
    static CMenuWnd* Show(WindowImplBase* owner, const QString& layoutFile, const QPoint& screenPoint);

    void Notify(TNotifyUI& msg) override;

protected:
    [[nodiscard]] QString GetLayoutFile() const override { return m_layoutFile; }
    [[nodiscard]] QString GetWindowClassName() const override { return QStringLiteral("CMenuWnd"); }
    void OnFinalMessage() override { delete this; }

private:
    CMenuWnd(WindowImplBase* owner, QString layoutFile);

    WindowImplBase* m_owner;
    QString m_layoutFile;
};
