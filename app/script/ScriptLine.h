#pragma once
// A console script's lines, read and cut into commands without touching any control, so that
// any text can be checked on its own: "verb name rest", the rest keeping its blanks.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include "base/ScriptedDialogs.h"

struct ScriptCommand {
    enum class Verb { Blank, Click, Set, Page, Print, Grab, Wait, Answer, Quit, Unknown };
    Verb verb = Verb::Blank;
    QString word; // the verb as written
    QString name;
    QString rest;                  // everything after the name and one blank, blanks included
    int waitMs = -1;               // Wait: the time, or -1 when it is not a number of 0 or more
    scripted::DialogAnswer answer; // Answer: what the next dialog gets
};

// The lines of a script file's bytes (UTF-8; LF or CR LF line ends).
QStringList ScriptLines(const QByteArray& bytes);
// A blank line or a comment ("#") is Blank; an unknown verb is Unknown.
ScriptCommand ParseScriptLine(const QString& line);
