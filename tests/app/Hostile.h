#pragma once

// Hostile input for the window: the texts, numbers and dates tried in every field, the two ways
// a user gets them into a field (typed key by key, or pasted through the context menu, which
// no key filter sees), and the check that an attempt either stored what the fields showed or
// was refused with a message that changed nothing.

#include "Snapshots.h"

#include "masterdata/InputRules.h"
#include "support/Ui.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>

#include <functional>

namespace hostile {

// A long text of every troublesome kind of character, exactly `size` UTF-16 units long and
// never cut inside a surrogate pair.
inline QString longText(int size = 10000) {
    const QString piece = QStringLiteral("Àbc d'E%_[]\"\\ 🍕 é ");
    QString out;
    while (out.size() < size)
        out += piece;
    out.truncate(size);
    if (out.back().isHighSurrogate())
        out.back() = QLatin1Char('x');
    return out;
}

// Texts for the text fields and combos.
inline QStringList texts() {
    return {
        QString(10000, QLatin1Char('a')),
        longText(),
        QStringLiteral("D'Amico"),
        QStringLiteral("l''olio"),
        QStringLiteral("'"),
        QStringLiteral("%"),
        QStringLiteral("_"),
        QStringLiteral("%_%"),
        QStringLiteral("100% puro"),
        QStringLiteral("A_B"),
        QStringLiteral("["),
        QStringLiteral("]"),
        QStringLiteral("[A-Z]"),
        QStringLiteral("\"virgolette\""),
        QStringLiteral("«caporali»"),
        QStringLiteral("\\"),
        QStringLiteral("C:\\temp\\ordini"),
        QStringLiteral("'; DROP TABLE CLIENTE; --"),
        QStringLiteral("' OR '1'='1"),
        QStringLiteral("x'); DELETE FROM ORDINE; --"),
        QStringLiteral("\"); UPDATE UTENTE SET UTENTE = NULL; --"),
        QStringLiteral("🍕"),
        QStringLiteral("pizza 🍕 e vino 🍷"),
        // An emoji that meets the end of a field of 2, 5, 11 or 13 characters halfway.
        QStringLiteral("A🍕"),
        QStringLiteral("1234🍕"),
        QStringLiteral("1234567890🍕"),
        QStringLiteral("ABCDEFGHIJKL🍕"),
        QStringLiteral("e\u0301"),
        QStringLiteral("cafe\u0301"),
        QStringLiteral("café"),
        QStringLiteral("perché così"),
        QStringLiteral("straße"),
        QStringLiteral("ﬁne"),
        QStringLiteral("ǆ"),
        QStringLiteral("1,2,3"),
        QStringLiteral("-"),
        QStringLiteral("--5"),
        QStringLiteral("1234567890123456789012345"),
        QStringLiteral("31/02/2026"),
        QStringLiteral(" "),
        QStringLiteral("  spazi  doppi  "),
        QStringLiteral("a\tb"),
        QStringLiteral("\u200B"),
        QStringLiteral("\u202Eabc"),
        QStringLiteral("NULL"),
        QStringLiteral("0"),
        QStringLiteral("<b>grassetto</b>"),
        QStringLiteral("%s%n%x"),
        QStringLiteral("$(rm -rf /)"),
        // What a spreadsheet would take for a formula.
        QStringLiteral("=1+1"),
        QStringLiteral("=HYPERLINK(\"http://x\";\"y\")"),
        QStringLiteral("@SUM(A1)"),
        QStringLiteral("+39 02 1234"),
    };
}

// Texts for the number fields.
inline QStringList numbers() {
    return {
        QStringLiteral("12"),
        QStringLiteral("12,5"),
        QStringLiteral(",5"),
        QStringLiteral("-3"),
        QStringLiteral("1500"),
        QStringLiteral("1.500,00"),
        QStringLiteral("1,2,3"),
        QStringLiteral("-"),
        QStringLiteral("--5"),
        QStringLiteral("5-"),
        QStringLiteral(","),
        QStringLiteral("1234567890123456789012345"),
        QStringLiteral("123456789012345"),
        QStringLiteral("9999999999999999"),
        QStringLiteral("0"),
        QStringLiteral("-0"),
        QStringLiteral("0,001"),
        QStringLiteral("1,005"),
        QStringLiteral("1.5"),
        QStringLiteral("1e5"),
        QStringLiteral("0x10"),
        QStringLiteral("١٢"),
        QStringLiteral("１２"),
        QStringLiteral("12 "),
        QStringLiteral("'"),
        QStringLiteral("%"),
        QStringLiteral("'; DROP TABLE ORDINE; --"),
    };
}

// Texts for the date boxes.
inline QStringList dates() {
    return {
        QStringLiteral("31/02/2026"), QStringLiteral("29/02/2028"), QStringLiteral("29/02/2027"),
        QStringLiteral("00/00/0000"), QStringLiteral("1/1/26"),     QStringLiteral("32/13/2026"),
        QStringLiteral("31/12/9999"), QStringLiteral("01/01/0001"), QStringLiteral("/"),
        QStringLiteral("//"),         QStringLiteral("12/2026"),    QStringLiteral("1/2/3"),
        QStringLiteral("31/04/2026"), QStringLiteral("8/12/2026"),  QStringLiteral("'; --"),
        QStringLiteral("2026-12-08"),
    };
}

enum class Way { Typed, Pasted };

inline const char* toString(Way w) {
    return w == Way::Typed ? "typed" : "pasted";
}

// The text field inside an element (combo, date box) or the element itself.
inline QWidget* edit(QWidget* w) {
    if (auto* c = qobject_cast<QComboBox*>(w))
        return c->lineEdit();
    if (auto* d = qobject_cast<DateBox*>(w))
        return d->lineEdit();
    return w;
}

inline QString shown(QWidget* w) {
    QWidget* e = edit(w);
    if (auto* l = qobject_cast<QLineEdit*>(e))
        return l->text();
    if (auto* t = qobject_cast<QPlainTextEdit*>(e))
        return t->toPlainText();
    qFatal("not a text field: %s", qPrintable(w->objectName()));
    return QString();
}

// Empties the field and gets the text into it: typed key by key, or pasted as the context
// menu's "Incolla" does (the clipboard shortcut would be dropped by the number fields' filter).
inline void enter(QWidget* w, const QString& text, Way way) {
    QWidget* e = edit(w);
    if (auto* l = qobject_cast<QLineEdit*>(e))
        l->clear();
    else if (auto* t = qobject_cast<QPlainTextEdit*>(e))
        t->clear();
    if (way == Way::Typed) {
        ui::type(w, text);
        return;
    }
    e->setFocus();
    QGuiApplication::clipboard()->setText(text);
    if (auto* l = qobject_cast<QLineEdit*>(e))
        l->paste();
    else if (auto* t = qobject_cast<QPlainTextEdit*>(e))
        t->paste();
}

// The ways worth trying for a text: typing 10k characters one key at a time proves nothing that
// pasting them does not, so long texts are pasted only.
inline QList<Way> ways(const QString& text) {
    if (text.size() > 200)
        return {Way::Pasted};
    return {Way::Typed, Way::Pasted};
}

// The tally of the attempts and what went wrong in them, for the end of a test.
struct Tally {
    int stored = 0;
    int refused = 0;
    QStringList problems;
    int total() const { return stored + refused; }
    void problem(const QString& what, const QString& text) {
        problems << what + QStringLiteral(": ") + text;
    }
    QString report() const { return problems.join(QLatin1Char('\n')); }
};

// What a field holds, shortened for a message.
inline QString brief(const QString& text) {
    QString t = text.left(40);
    if (text.size() > 40)
        t += QStringLiteral("…(%1)").arg(text.size());
    return t;
}

// A box longer than this no longer fits the screen, and its message is lost on the user.
inline constexpr int kLongestMessage = 600;

// Presses an action's button with every question answered Yes and tells whether it was done
// (its last box is `done`). When it was not, the attempt must have been refused with a message
// of the program's own (no engine error), and every table must be as it was.
inline bool attempt(App& app, const std::function<void()>& press, const QString& done,
                    const QString& what, Tally& tally) {
    const QStringList before = snapshots::tables(app.db());
    app.dialogs.clear();
    app.dialogs.answerYes(4);
    press();
    const QList<ScriptedDialogs::Box> boxes = app.dialogs.take();
    app.dialogs.answers.clear();
    QStringList seen;
    for (const auto& b : boxes)
        seen << b.title + QStringLiteral(": ") + brief(b.text);
    if (!boxes.isEmpty() && boxes.last().kind == ScriptedDialogs::Kind::Message &&
        boxes.last().text == done) {
        ++tally.stored;
        return true;
    }
    ++tally.refused;
    // Set to read every refusal while looking into a case.
    if (qEnvironmentVariableIsSet("HOSTILE_SHOW"))
        qInfo("%s -> %s", qPrintable(what), qPrintable(seen.join(QStringLiteral(" / "))));
    if (boxes.isEmpty())
        tally.problem(what, QStringLiteral("nothing happened and nothing was told"));
    for (const auto& b : boxes)
        if (b.text.size() > kLongestMessage)
            tally.problem(what, QStringLiteral("a box of %1 characters: ").arg(b.text.size()) +
                                    brief(b.text));
    for (const auto& b : boxes)
        if (b.icon == BoxIcon::Critical || b.title == QLatin1String("Errore"))
            tally.problem(what, QStringLiteral("an engine error instead of a refusal: ") +
                                    seen.join(QStringLiteral(" / ")));
    const QStringList after = snapshots::tables(app.db());
    if (after != before)
        tally.problem(
            what, QStringLiteral("refused (%1) but the tables changed:\n%2")
                      .arg(seen.join(QStringLiteral(" / ")), snapshots::difference(before, after)));
    return false;
}

} // namespace hostile
