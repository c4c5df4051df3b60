#pragma once

#include <QString>
#include <Qt>

#include <initializer_list>

class QWidget;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QComboBox;
class QPushButton;
class QCheckBox;
class QGroupBox;
class ClickLabel;
class DateBox;
class ReportView;

// Places the elements of a panel: name, geometry in twips and font, as the layout tables give
// them. A font size of 0 keeps the container's font.
struct ElementFont {
    double points = 0;
    bool bold = false;
};

struct ElementBox {
    int left, top, width, height;
};

class Elements {
public:
    using Font = ElementFont;
    using Box = ElementBox;

    explicit Elements(QWidget* container) : m_container(container) {}

    QLabel* label(const char* name, const QString& text, Box box, Font font = {});
    ClickLabel* closeLabel(const char* name, Box box);
    ClickLabel* clickLabel(const char* name, const QString& text, Box box, Font font = {});
    // Never shown: holds a value for the program.
    QLabel* holder(const char* name, const QString& text, Box box, Font font = {});
    QLineEdit* text(const char* name, Box box, Font font = {}, int maxLength = 0,
                    Qt::Alignment alignment = Qt::AlignLeft, bool readOnly = false);
    QPlainTextEdit* multiLine(const char* name, Box box, Font font = {});
    QComboBox* combo(const char* name, Box box, Font font = {});
    QPushButton* button(const char* name, const QString& caption, Box box, Font font = {});
    QCheckBox* check(const char* name, const QString& caption, Box box, Font font = {});
    DateBox* date(const char* name, Box box, Font font = {});
    ReportView* list(const char* name, Box box, Font font = {});
    QGroupBox* frame(const char* name, const QString& caption, Box box, Font font = {});

    // Tab goes from each element to the next, in this order.
    static void tabOrder(std::initializer_list<QWidget*> order);

private:
    template <class W> W* make(W* w, const char* name, Box box, Font font);
    QWidget* m_container;
};
