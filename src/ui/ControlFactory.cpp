#include "ui/ControlFactory.h"

CControlFactory* CControlFactory::GetInstance()
{
    static CControlFactory factory;
    return &factory;
}

void CControlFactory::RegistControl(const QString& className, CreateFunction create)
{
    m_creators.insert(className.toLower(), create);
}

CControlUI* CControlFactory::CreateControl(const QString& className) const
{
    const CreateFunction create = m_creators.value(className.toLower(), nullptr);
    return create != nullptr ? create() : nullptr;
}
