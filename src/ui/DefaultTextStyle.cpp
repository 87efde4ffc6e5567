#include "ui/DefaultTextStyle.h"

DefaultTextStyle& GetDefaultTextStyle()
{
    static DefaultTextStyle style;
    return style;
}
