#pragma once

#include <QHash>
#include <QString>

class CControlUI;

// The process-wide table of custom control types that layouts may name ("CWkeWebkitUI").
class CControlFactory
{
public:
    using CreateFunction = CControlUI* (*)();

    static CControlFactory* GetInstance();
    void RegistControl(const QString& className, CreateFunction create);
    // A new control of a registered type, or null.
    [[nodiscard]] CControlUI* CreateControl(const QString& className) const;

private:
    QHash<QString, CreateFunction> m_creators;
};
