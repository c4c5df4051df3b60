#include "DateBox.h"

#include "text/ItalianText.h"

#include <QCalendarWidget>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QWidgetAction>

DateBox::DateBox(QWidget* parent) : QWidget(parent) {
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("testo"));
    m_edit->setMaxLength(10);
    m_edit->setPlaceholderText(QStringLiteral("gg/mm/aaaa"));
    m_edit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,8}|[0-9]{1,2}/[0-9]{0,2}(/[0-9]{0,4})?")),
        m_edit));
    m_button = new QToolButton(this);
    m_button->setObjectName(QStringLiteral("calendario"));
    m_button->setText(QStringLiteral("▾"));
    m_button->setToolTip(QStringLiteral("Scegli la data dal calendario"));
    m_button->setFocusPolicy(Qt::NoFocus);
    setFocusProxy(m_edit);
    setFocusPolicy(Qt::StrongFocus);
    connect(m_edit, &QLineEdit::textChanged, this, &DateBox::textChanged);
    connect(m_edit, &QLineEdit::editingFinished, this, &DateBox::normalise);
    connect(m_button, &QToolButton::clicked, this, &DateBox::showCalendar);
}

void DateBox::resizeEvent(QResizeEvent*) {
    // A narrow button leaves the field room for a whole date and for its hint.
    const int h = height();
    const int bw = qMin(h * 3 / 4, width() / 3);
    m_edit->setGeometry(0, 0, width() - bw, h);
    m_button->setGeometry(width() - bw, 0, bw, h);
}

QString DateBox::text() const {
    const QString typed = m_edit->text();
    const auto d = parseTyped(typed);
    return d ? itext::formatDate(*d) : typed;
}

void DateBox::setText(const QString& text) {
    m_edit->setText(text);
}

std::optional<QDate> DateBox::date() const {
    return parseTyped(m_edit->text());
}

void DateBox::setDate(const QDate& date) {
    m_edit->setText(itext::formatDate(date));
}

void DateBox::clear() {
    m_edit->clear();
}

bool DateBox::isEmpty() const {
    return m_edit->text().trimmed().isEmpty();
}

std::optional<QDate> DateBox::parseTyped(const QString& text) {
    const QString t = text.trimmed();
    QString full = t;
    bool digitsOnly = !t.isEmpty();
    for (const QChar c : t)
        digitsOnly = digitsOnly && c.isDigit() && c.unicode() < 128;
    if (digitsOnly && (t.size() == 6 || t.size() == 8)) {
        // Day and month of two digits each, then the year.
        full = t.left(2) + QLatin1Char('/') + t.mid(2, 2) + QLatin1Char('/') + t.mid(4);
    }
    const QStringList parts = full.split(QLatin1Char('/'));
    if (parts.size() == 3 && parts[2].size() == 2)
        full = parts[0] + QLatin1Char('/') + parts[1] + QStringLiteral("/20") + parts[2];
    return itext::parseDate(full);
}

// "8/12/2026" becomes "08/12/2026", and "8/12/26", "081226" and "08122026" the same; a text
// that is no date stays as typed.
void DateBox::normalise() {
    if (const auto d = parseTyped(m_edit->text()))
        setDate(*d);
}

void DateBox::showCalendar() {
    QMenu menu(this);
    auto* calendar = new QCalendarWidget(&menu);
    calendar->setObjectName(QStringLiteral("calendarioPopup"));
    calendar->setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    calendar->setFirstDayOfWeek(Qt::Monday);
    calendar->setGridVisible(true);
    if (const auto d = date())
        calendar->setSelectedDate(*d);
    auto* action = new QWidgetAction(&menu);
    action->setDefaultWidget(calendar);
    menu.addAction(action);
    connect(calendar, &QCalendarWidget::clicked, &menu, [&](const QDate& d) {
        setDate(d);
        menu.close();
    });
    connect(calendar, &QCalendarWidget::activated, &menu, [&](const QDate& d) {
        setDate(d);
        menu.close();
    });
    menu.exec(mapToGlobal(QPoint(0, height())));
    m_edit->setFocus();
}
