#pragma once

#include <QDate>
#include <QWidget>

#include <optional>

class QLineEdit;
class QToolButton;
class QCalendarWidget;

// A date entry: dd/mm/yyyy typed or picked from a calendar; may be empty.
class DateBox : public QWidget {
    Q_OBJECT
public:
    explicit DateBox(QWidget* parent = nullptr);

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

private:
    void normalise();
    void showCalendar();

    QLineEdit* m_edit;
    QToolButton* m_button;
};
