#pragma once

#include <QString>

// The record of WM_MENU_COMMAND: the chosen menu entry.
struct MenuCommand
{
    QString name;
};
