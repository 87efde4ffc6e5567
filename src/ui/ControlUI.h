#pragma once

#include <QMap>
#include <QMargins>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>

class CPaintManagerUI;
class QObject;

// One control of a window: a Qt widget with a name, a text, visibility, enabled state, tooltip,
// focus, a tag and attributes set by name. Attributes are the one road for styling; they become the
// widget's style sheet and properties. The widget belongs to its parent widget (in the end, the
// window); the control object to its container (in the end, the window's paint manager).
class CControlUI
{
public:
    // A plain control: a box with a background, border and image.
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    // The toolkit class name, as the caption rule compares it ("ControlUI", "LabelUI", ...).
    [[nodiscard]] virtual QString GetClass() const { return QStringLiteral("ControlUI"); }

    [[nodiscard]] QString GetName() const { return m_name; }
    void SetName(const QString& name);
    [[nodiscard]] virtual QString GetText() const { return m_text; }
    virtual void SetText(const QString& text);
    // The control's own visibility flag (a shown control of a hidden window is visible).
    [[nodiscard]] bool IsVisible() const;
    void SetVisible(bool visible = true);
    [[nodiscard]] bool IsEnabled() const;
    void SetEnabled(bool enabled = true);
    [[nodiscard]] QString GetToolTip() const;
    void SetToolTip(const QString& text);
    void SetFocus();
    [[nodiscard]] bool IsFocused() const;
    [[nodiscard]] uintptr_t GetTag() const { return m_tag; }
    void SetTag(uintptr_t tag) { m_tag = tag; }

    // Sets one attribute ("bkcolor", "bordercolor", "bkimage", "width", "padding", "text", ...).
    virtual void SetAttribute(const QString& name, const QString& value);
    // The last value an attribute was set to; empty when never set.
    [[nodiscard]] QString GetAttribute(const QString& name) const { return m_attributes.value(name); }

    void SetPadding(const QMargins& padding);
    [[nodiscard]] QMargins GetPadding() const { return m_padding; }
    void SetFixedWidth(int width);
    void SetFixedHeight(int height);
    [[nodiscard]] int GetFixedWidth() const { return m_fixedWidth; }
    [[nodiscard]] int GetFixedHeight() const { return m_fixedHeight; }

    [[nodiscard]] CControlUI* GetParent() const { return m_parent; }
    [[nodiscard]] CPaintManagerUI* GetManager() const { return m_manager; }
    // Attaches the control (and, for containers, its children) to a window.
    virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent);
    [[nodiscard]] QWidget* GetWidget() const { return m_widget; }

    // A control found at a widget, for the toolkit's event routing.
    [[nodiscard]] static CControlUI* FromWidget(const QWidget* widget);

protected:
    // Wraps widget, which the subclass made for this control.
    explicit CControlUI(QWidget* widget);
    // Rebuilds the widget's style sheet from the style attributes.
    void UpdateStyle();
    // Style-sheet rules for the subclass's own attributes, with selector the widget's id selector.
    [[nodiscard]] virtual QString ExtraStyle(const QString& selector) const;
    // Whether the image attributes draw the whole widget (false: the subclass places them itself).
    [[nodiscard]] virtual bool ImagesOnWidget() const { return true; }
    [[nodiscard]] QString ImageUrl(const QString& attribute) const;
    // The context for connections to the widget's signals: they end with the control, even when
    // the widget outlives it for a moment.
    [[nodiscard]] QObject* Context() const { return m_context.get(); }
    [[nodiscard]] QString ColorCss(const QString& attribute) const;

private:
    // Lets the parent's layout place the control again after a size or padding change.
    void Relayout();

    QString m_name;
    QString m_text;
    uintptr_t m_tag = 0;
    bool m_visible = true;
    QMap<QString, QString> m_attributes;
    QMargins m_padding;
    int m_fixedWidth = 0;
    int m_fixedHeight = 0;
    CControlUI* m_parent = nullptr;
    CPaintManagerUI* m_manager = nullptr;
    QPointer<QWidget> m_widget;
    std::unique_ptr<QObject> m_context;
};
