#ifndef OPTIONNAMES_H
#define OPTIONNAMES_H

#include <QString>
#include <QStringList>

// Whether the arguments (the program's name first) give one of the long
// options named, as "--name" or "--name=value", before a "--" ends the
// options. Tells which tool a command line is for.
inline bool givesOption(const QStringList &arguments, const QStringList &names)
{
    for (const QString &argument : arguments.mid(1)) {
        if (argument == QLatin1String("--"))
            return false;
        for (const QString &name : names) {
            const QString option = QStringLiteral("--") + name;
            if (argument == option || argument.startsWith(option + QLatin1Char('=')))
                return true;
        }
    }
    return false;
}

#endif // OPTIONNAMES_H
