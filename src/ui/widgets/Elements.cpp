#include "Elements.h"

#include "ClickLabel.h"
#include "DateBox.h"
#include "ReportList.h"
#include "Twips.h"
#include "ui/Panel.h"
#include "ui/Tell.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

// A field never holds half of a character. Qt cuts a text at the field's length limit by UTF-16
// units, so an emoji typed or pasted as the last character that fits leaves its first half
// behind; stored, that half would come back as "?" and the field would not show what the file
// holds. The half is dropped, as if the character had not fitted at all.
void keepWholeCharacters(QLineEdit* field) {
    QObject::connect(field, &QLineEdit::textChanged, field, [field](const QString& text) {
        QString whole;
        whole.reserve(text.size());
        bool dropped = false;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                whole += c;
                whole += text[++i];
            } else if (c.isSurrogate()) {
                dropped = true;
            } else {
                whole += c;
            }
        }
        if (!dropped)
            return;
        const int caret = qMin(field->cursorPosition(), int(whole.size()));
        field->setText(whole);
        field->setCursorPosition(caret);
    });
}

// The longest text a field takes (as a cell of a workbook holds). The field's own limit is one
// more: the toolkit cuts a longer text to its limit without a word, so a text that reaches it was
// cut, and is refused with the field left as it was.
constexpr int kLongestText = 32767;

void refuseCutText(QLineEdit* field) {
    field->setMaxLength(kLongestText + 1);
    QObject::connect(field, &QLineEdit::textChanged, field, [field](const QString& text) {
        if (text.size() <= kLongestText)
            field->setProperty("wholeText", text);
    });
    QObject::connect(field, &QLineEdit::textEdited, field, [field](const QString& text) {
        if (text.size() <= kLongestText)
            return;
        field->setText(field->property("wholeText").toString());
        for (QWidget* w = field->parentWidget(); w; w = w->parentWidget())
            if (auto* panel = qobject_cast<Panel*>(w)) {
                tell::refusal(panel->boxes(),
                              QStringLiteral("Il testo è troppo lungo: un campo contiene al "
                                             "massimo 32.767 caratteri.\nIl campo è rimasto "
                                             "com'era."),
                              panel->title());
                break;
            }
    });
}

// The layout tables' widths are those of Arial on another system: a caption a few pixels longer
// than its box is drawn a little tighter rather than cut.
void fitCaption(QLabel* label) {
    const QString text = label->text();
    const QFontMetricsF fm(label->font());
    const qreal need = fm.horizontalAdvance(text);
    const qreal room = label->contentsRect().width();
    if (text.size() < 2 || need <= room || need > room * 1.05)
        return;
    QFont f = label->font();
    f.setLetterSpacing(QFont::AbsoluteSpacing, -(need - room) / qreal(text.size() - 1) - 0.05);
    label->setFont(f);
}

} // namespace

template <class W> W* Elements::make(W* w, const char* name, Box box, Font font) {
    w->setObjectName(QLatin1String(name));
    twips::place(w, box.left, box.top, box.width, box.height);
    if (font.points > 0)
        w->setFont(twips::arial(font.points, font.bold));
    return w;
}

QLabel* Elements::label(const char* name, const QString& text, Box box, Font font) {
    auto* l = make(new QLabel(text, m_container), name, box, font);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    fitCaption(l);
    return l;
}

ClickLabel* Elements::closeLabel(const char* name, Box box) {
    auto* l = clickLabel(name, QStringLiteral("X"), box, {11.25, true});
    l->setToolTip(QStringLiteral("Chiudi"));
    return l;
}

ClickLabel* Elements::clickLabel(const char* name, const QString& text, Box box, Font font) {
    auto* l = make(new ClickLabel(text, m_container), name, box, font);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setCursor(Qt::PointingHandCursor);
    return l;
}

QLabel* Elements::holder(const char* name, const QString& text, Box box, Font font) {
    QLabel* l = label(name, text, box, font);
    l->setVisible(false);
    return l;
}

QLineEdit* Elements::text(const char* name, Box box, Font font, int maxLength,
                          Qt::Alignment alignment, bool readOnly) {
    auto* e = make(new QLineEdit(m_container), name, box, font);
    if (maxLength > 0)
        e->setMaxLength(maxLength);
    else
        refuseCutText(e);
    e->setAlignment(alignment | Qt::AlignVCenter);
    e->setReadOnly(readOnly);
    keepWholeCharacters(e);
    return e;
}

QPlainTextEdit* Elements::multiLine(const char* name, Box box, Font font) {
    auto* e = make(new QPlainTextEdit(m_container), name, box, font);
    e->setTabChangesFocus(true);
    return e;
}

QComboBox* Elements::combo(const char* name, Box box, Font font) {
    auto* c = make(new QComboBox(m_container), name, box, font);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setMaxVisibleItems(20);
    // Long lists: no measuring of every entry.
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(1);
    keepWholeCharacters(c->lineEdit());
    return c;
}

QPushButton* Elements::button(const char* name, const QString& caption, Box box, Font font) {
    auto* b = make(new QPushButton(caption, m_container), name, box, font);
    // Return on a focused button presses it, as Space does.
    b->setAutoDefault(true);
    return b;
}

QCheckBox* Elements::check(const char* name, const QString& caption, Box box, Font font) {
    return make(new QCheckBox(caption, m_container), name, box, font);
}

DateBox* Elements::date(const char* name, Box box, Font font) {
    return make(new DateBox(m_container), name, box, font);
}

ReportView* Elements::list(const char* name, Box box, Font font) {
    return make(new ReportView(m_container), name, box, font);
}

QGroupBox* Elements::frame(const char* name, const QString& caption, Box box, Font font) {
    auto* g = make(new QGroupBox(caption, m_container), name, box, font);
    return g;
}

void Elements::tabOrder(std::initializer_list<QWidget*> order) {
    QWidget* const* w = order.begin();
    for (size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(w[i - 1], w[i]);
}
