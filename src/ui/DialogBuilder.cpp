#include "ui/DialogBuilder.h"

#include "ui/ButtonUI.h"
#include "ui/ContainerUI.h"
#include "ui/ControlFactory.h"
#include "ui/EditUI.h"
#include "ui/LabelUI.h"
#include "ui/ListUI.h"
#include "ui/OptionUI.h"
#include "ui/PaintManagerUI.h"
#include "ui/ProgressUI.h"
#include "ui/RichEditUI.h"

#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <memory>

namespace {

CControlUI* CreateBuiltIn(const QString& name)
{
    const QString type = name.toLower();
    if (type == QLatin1String("control")) {
        return new CControlUI;
    }
    if (type == QLatin1String("container")) {
        return new CContainerUI;
    }
    if (type == QLatin1String("horizontallayout")) {
        return new CHorizontalLayoutUI;
    }
    if (type == QLatin1String("verticallayout")) {
        return new CVerticalLayoutUI;
    }
    if (type == QLatin1String("label")) {
        return new CLabelUI;
    }
    if (type == QLatin1String("text")) {
        return new CTextUI;
    }
    if (type == QLatin1String("button")) {
        return new CButtonUI;
    }
    if (type == QLatin1String("edit")) {
        return new CEditUI;
    }
    if (type == QLatin1String("richedit")) {
        return new CRichEditUI;
    }
    if (type == QLatin1String("option")) {
        return new COptionUI;
    }
    if (type == QLatin1String("checkbox")) {
        return new CCheckBoxUI;
    }
    if (type == QLatin1String("progress")) {
        return new CProgressUI;
    }
    if (type == QLatin1String("list")) {
        return new CListUI;
    }
    if (type == QLatin1String("listcontainerelement")) {
        return new CListContainerElementUI;
    }
    return nullptr;
}

QList<int> Numbers(const QString& text)
{
    QList<int> numbers;
    for (const QString& part : text.split(QLatin1Char(','))) {
        numbers << part.trimmed().toInt();
    }
    while (numbers.size() < 4) {
        numbers << 0;
    }
    return numbers;
}

bool IsTrue(const QStringView value)
{
    return value == QLatin1String("true");
}

class Builder
{
public:
    Builder(QXmlStreamReader& xml, CPaintManagerUI* manager, const CDialogBuilder::ControlCallback& callback)
        : m_xml(xml)
        , m_manager(manager)
        , m_callback(callback)
    {
    }

    // Reads the element the reader is on (a control) with everything inside it.
    std::unique_ptr<CControlUI> Control(CContainerUI* parent, QString& error)
    {
        const QString type = m_xml.name().toString();
        CControlUI* made = m_callback ? m_callback(type) : nullptr;
        if (made == nullptr) {
            made = CreateBuiltIn(type);
        }
        if (made == nullptr) {
            made = CControlFactory::GetInstance()->CreateControl(type);
        }
        if (made == nullptr) {
            error =
                QStringLiteral("unknown control type \"%1\" at line %2").arg(type).arg(m_xml.lineNumber());
            return nullptr;
        }
        std::unique_ptr<CControlUI> control(made);
        if (parent != nullptr) {
            parent->Add(control.get());
        } else {
            control->SetManager(m_manager, nullptr);
        }
        for (const QXmlStreamAttribute& attribute : m_xml.attributes()) {
            control->SetAttribute(attribute.name().toString(), attribute.value().toString());
        }
        auto* container = dynamic_cast<CContainerUI*>(control.get());
        while (m_xml.readNextStartElement()) {
            if (container == nullptr) {
                error =
                    QStringLiteral("\"%1\" cannot hold controls (line %2)").arg(type).arg(m_xml.lineNumber());
                return Abandon(std::move(control), parent);
            }
            if (Control(container, error).release() == nullptr) {
                return Abandon(std::move(control), parent);
            }
        }
        return control;
    }

private:
    // A control that was added to its parent before it failed is the parent's to destroy.
    static std::unique_ptr<CControlUI> Abandon(std::unique_ptr<CControlUI> control, CContainerUI* parent)
    {
        if (parent != nullptr) {
            parent->Remove(control.release());
        }
        return nullptr;
    }

    QXmlStreamReader& m_xml;
    CPaintManagerUI* m_manager;
    const CDialogBuilder::ControlCallback& m_callback;
};

} // namespace

CControlUI* CDialogBuilder::Create(const QString& layoutFile, CPaintManagerUI* manager,
                                   const ControlCallback& callback)
{
    m_error.clear();
    const QString path =
        QFileInfo(layoutFile).isAbsolute() ? layoutFile : CPaintManagerUI::GetResourcePath() + layoutFile;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return nullptr;
    }
    QXmlStreamReader xml(&file);
    if (!xml.readNextStartElement()) {
        m_error = QStringLiteral("%1 holds no layout: %2").arg(path, xml.errorString());
        return nullptr;
    }
    Builder builder(xml, manager, callback);
    std::unique_ptr<CControlUI> root;
    if (xml.name() == QLatin1String("Window")) {
        const auto size = Numbers(xml.attributes().value(QLatin1String("size")).toString());
        m_width = size[0];
        m_height = size[1];
        const auto caption = Numbers(xml.attributes().value(QLatin1String("caption")).toString());
        if (manager != nullptr) {
            QRect area;
            area.setCoords(caption[0], caption[1], caption[2], caption[3]);
            manager->SetCaptionRect(area);
        }
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("Font")) {
                const auto attributes = xml.attributes();
                const QFont font =
                    CPaintManagerUI::MakeFont(attributes.value(QLatin1String("name")).toString(),
                                              attributes.value(QLatin1String("size")).toInt(),
                                              IsTrue(attributes.value(QLatin1String("bold"))),
                                              IsTrue(attributes.value(QLatin1String("underline"))),
                                              IsTrue(attributes.value(QLatin1String("italic"))));
                if (manager != nullptr) {
                    manager->AddFont(attributes.value(QLatin1String("id")).toInt(), font);
                    if (IsTrue(attributes.value(QLatin1String("default")))) {
                        manager->SetDefaultFont(font.families().value(0), font.pixelSize(), font.bold(),
                                                font.underline(), font.italic());
                    }
                }
                xml.skipCurrentElement();
            } else if (root == nullptr) {
                root = builder.Control(nullptr, m_error);
                if (root == nullptr) {
                    m_error = path + QStringLiteral(": ") + m_error;
                    return nullptr;
                }
            } else {
                xml.skipCurrentElement();
            }
        }
    } else {
        root = builder.Control(nullptr, m_error);
        if (root == nullptr) {
            m_error = path + QStringLiteral(": ") + m_error;
            return nullptr;
        }
    }
    if (xml.hasError()) {
        m_error = QStringLiteral("%1: %2 at line %3").arg(path, xml.errorString()).arg(xml.lineNumber());
        return nullptr;
    }
    if (root == nullptr) {
        m_error = path + QStringLiteral(" holds no control");
    }
    return root.release();
}
