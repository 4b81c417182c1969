#include "shell/windows/ContentHost.h"

#include "shell/theme/GlassmorphismView.h"
#include "shell/theme/SymbolIcons.h"
#include "shell/theme/TallowindTheme.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

ContentHost::ContentHost(QWidget* placeholderContent, QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    current = placeholderContent;
    layout->addWidget(current);
}

void ContentHost::setContentWidget(QWidget* content)
{
    if (!content || content == current)
        return;
    QWidget* previous = current;
    current = content;
    placeholder = false;
    layout()->replaceWidget(previous, content);
    content->setParent(this);
    content->show();
    delete previous;
    setFocusProxy(content);
}

namespace {

class ShellPlaceholder final : public QWidget {
public:
    ShellPlaceholder(const QString& text, double cornerRadius)
    {
        setAccessibleName(text);
        if (cornerRadius > 0)
            glassBackground(this, cornerRadius);
        auto* row = new QHBoxLayout(this);
        const int inset = static_cast<int>(TallowindTheme::Spacing::medium);
        row->setContentsMargins(inset, inset, inset, inset);
        row->setSpacing(static_cast<int>(TallowindTheme::Spacing::xSmall));
        row->addStretch();
        symbol = new QLabel(this);
        symbol->setAccessibleName(QStringLiteral("Tallowind"));
        row->addWidget(symbol);
        label = new QLabel(text, this);
        label->setFont(TallowindTheme::Typography::headline());
        row->addWidget(label);
        row->addStretch();
        restyle();
    }

protected:
    void changeEvent(QEvent* event) override
    {
        if (event->type() == QEvent::PaletteChange)
            restyle();
        QWidget::changeEvent(event);
    }

private:
    void restyle()
    {
        const QColor ink = TallowindTheme::Colors::textPrimary(palette());
        symbol->setPixmap(SymbolIcons::pixmap(QStringLiteral("mic.circle"), 22,
            SymbolTint{TallowindTheme::Colors::accentColor(palette()), {}, SymbolRendering::monochrome},
            devicePixelRatioF()));
        QPalette text = label->palette();
        text.setColor(QPalette::WindowText, ink);
        label->setPalette(text);
    }

    QLabel* symbol = nullptr;
    QLabel* label = nullptr;
};

} // namespace

QWidget* makeShellPlaceholder(const QString& text, double cornerRadius)
{
    return new ShellPlaceholder(text, cornerRadius);
}
