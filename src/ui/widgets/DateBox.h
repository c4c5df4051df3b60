#pragma once

#include <QDate>
#include <QWidget>

#include <optional>

class QLineEdit;
class QToolButton;
class QCalendarWidget;

// A date entry: dd/mm/yyyy typed or picked from a calendar; may be empty. Typed dates may also
// be short: "20/12/26", "201226" and "20122026" all stand for 20/12/2026.
class DateBox : public QWidget {
    Q_OBJECT
public:
    explicit DateBox(QWidget* parent = nullptr);

    // The date as dd/mm/yyyy when the typed text is one in any of its forms, else as typed.
    QString text() const;
    void setText(const QString& text);
    std::optional<QDate> date() const;
    void setDate(const QDate& date);
    void clear();
    bool isEmpty() const;

    QLineEdit* lineEdit() const { return m_edit; }
    QToolButton* calendarButton() const { return m_button; }

Q_SIGNALS:
    void textChanged(const QString& text);

protected:
    void resizeEvent(QResizeEvent* e) override;

    // The date a typed text stands for, in any of the forms above.
    static std::optional<QDate> parseTyped(const QString& text);

private:
    void normalise();
    void showCalendar();

    QLineEdit* m_edit;
    QToolButton* m_button;
};
