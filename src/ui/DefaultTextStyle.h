#pragma once

#include <QString>

// The client's default text style, filled at start-up and read by the message boxes. On Linux it is
// always the modern branch: "微软雅黑" at 12 points, rich text at 10 points, realised by
// fontconfig's substitution (a CJK font such as WenQuanYi Micro Hei answers for the face).
struct DefaultTextStyle
{
    QString faceName = QStringLiteral("微软雅黑");
    int size = 12;
    int colour = 0x333333;
    bool bold = false;
    bool underline = false;
    bool italic = false;
    bool link = false;
    int richTextSize = 10;
};

// The process-wide record; UI thread only.
DefaultTextStyle& GetDefaultTextStyle();
