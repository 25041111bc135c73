#ifndef STYLESHEETREADER_H
#define STYLESHEETREADER_H

#include <QObject>
#include <QString>

// Button look for the selection bar handles and the output row buttons, one
// per theme (2 blue, 3 gray, 4 dark). They repeat the button rule of the
// matching theme sheet with less padding, since these buttons are small.
extern const QString grayButtonStyle;
extern const QString blueButtonStyle;
extern const QString darkButtonStyle;

// Spin-box arrows for the two time fields, used with themes 2 to 4.
extern const QString timeEditStyle;

// Loads the application style sheet of a theme from the resources.
class StyleSheetReader : public QObject
{
    Q_OBJECT

public:
    explicit StyleSheetReader(QObject *parent = nullptr);

    // 2 light blue, 3 flat white, 4 dark; any other index has no sheet and
    // gives an empty string, as does a sheet that cannot be read.
    QString readStyleSheet(int index) const;

    static QString styleSheetPath(int index);
};

#endif // STYLESHEETREADER_H
