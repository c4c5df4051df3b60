// No statement is built from what the user typed: every text handed to the engine (prepare,
// exec and the engine's own entry points) is a literal, a named constant made of literals, or a
// text fixed by the program, all the way back to where it is written. Values reach the engine
// only through bound parameters. The sources under src/ are read and each call is traced.

#include "support/Fixture.h"

#include <QDirIterator>
#include <QFile>
#include <QTest>

#include <map>
#include <vector>

namespace {

struct Token {
    enum Kind { Ident, String, Number, Punct } kind;
    QString text;
    int line;
};

struct Macro {
    QStringList params;
    std::vector<Token> body;
};

struct Source {
    QString path;
    std::vector<Token> tokens;
};

// Splits C++ into identifiers, string and character literals (each one token, prefixes
// included), numbers and punctuation; comments go, and so do preprocessor lines, whose macros
// are kept aside.
std::vector<Token> tokenize(const QString& s, std::map<QString, Macro>* macros) {
    std::vector<Token> out;
    int line = 1;
    qsizetype i = 0;
    const qsizetype n = s.size();
    bool lineStart = true;
    auto isIdent = [](QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); };
    while (i < n) {
        const QChar c = s[i];
        if (c == QLatin1Char('\n')) {
            ++line;
            ++i;
            lineStart = true;
            continue;
        }
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (c == QLatin1Char('#') && lineStart) {
            // The whole directive, continuation lines included.
            qsizetype end = i;
            while (end < n && !(s[end] == QLatin1Char('\n') && s[end - 1] != QLatin1Char('\\')))
                ++end;
            const QString directive = s.mid(i + 1, end - i - 1);
            if (macros && directive.trimmed().startsWith(QLatin1String("define"))) {
                QString rest = directive.trimmed().mid(6).trimmed();
                rest.replace(QLatin1String("\\\n"), QLatin1String(" "));
                const qsizetype open = rest.indexOf(QLatin1Char('('));
                const qsizetype space = rest.indexOf(QLatin1Char(' '));
                Macro m;
                QString name;
                QString body;
                if (open > 0 && (space < 0 || open < space)) {
                    name = rest.left(open);
                    const qsizetype close = rest.indexOf(QLatin1Char(')'), open);
                    for (const QString& p : rest.mid(open + 1, close - open - 1).split(','))
                        m.params << p.trimmed();
                    body = rest.mid(close + 1);
                } else {
                    name = rest.left(space);
                    body = space < 0 ? QString() : rest.mid(space);
                }
                m.body = tokenize(body, nullptr);
                (*macros)[name] = m;
            }
            line += int(directive.count(QLatin1Char('\n')));
            i = end;
            continue;
        }
        lineStart = false;
        if (c == QLatin1Char('/') && i + 1 < n && s[i + 1] == QLatin1Char('/')) {
            while (i < n && s[i] != QLatin1Char('\n'))
                ++i;
            continue;
        }
        if (c == QLatin1Char('/') && i + 1 < n && s[i + 1] == QLatin1Char('*')) {
            const qsizetype end = s.indexOf(QLatin1String("*/"), i + 2);
            line += int(s.mid(i, end - i).count(QLatin1Char('\n')));
            i = end < 0 ? n : end + 2;
            continue;
        }
        // Literals, with any prefix (u8, L, R for raw).
        qsizetype j = i;
        while (j < n && isIdent(s[j]))
            ++j;
        const QString word = s.mid(i, j - i);
        const bool prefix = word.isEmpty() || word == QLatin1String("u8") ||
                            word == QLatin1String("L") || word == QLatin1String("u") ||
                            word == QLatin1String("U") || word.endsWith(QLatin1Char('R'));
        if (prefix && j < n && (s[j] == QLatin1Char('"') || s[j] == QLatin1Char('\''))) {
            const QChar quote = s[j];
            qsizetype k = j + 1;
            if (word.endsWith(QLatin1Char('R')) && quote == QLatin1Char('"')) {
                const qsizetype paren = s.indexOf(QLatin1Char('('), k);
                const QString end = QLatin1Char(')') + s.mid(k, paren - k) + QLatin1Char('"');
                k = s.indexOf(end, paren) + end.size();
            } else {
                while (k < n && s[k] != quote) {
                    if (s[k] == QLatin1Char('\\'))
                        ++k;
                    ++k;
                }
                ++k;
            }
            const QString lit = s.mid(i, k - i);
            out.push_back({quote == QLatin1Char('"') ? Token::String : Token::Number, lit, line});
            line += int(lit.count(QLatin1Char('\n')));
            i = k;
            continue;
        }
        if (!word.isEmpty()) {
            out.push_back({word.front().isDigit() ? Token::Number : Token::Ident, word, line});
            i = j;
            continue;
        }
        // Two-character punctuation that matters here.
        const QString two = s.mid(i, 2);
        if (two == QLatin1String("::") || two == QLatin1String("->")) {
            out.push_back({Token::Punct, two, line});
            i += 2;
            continue;
        }
        out.push_back({Token::Punct, QString(c), line});
        ++i;
    }
    return out;
}

using Range = std::pair<size_t, size_t>; // [first, last)

// The end of the bracketed group that opens at `open`.
size_t closing(const std::vector<Token>& t, size_t open) {
    int depth = 0;
    for (size_t i = open; i < t.size(); ++i) {
        const QString& x = t[i].text;
        if (x == QLatin1String("(") || x == QLatin1String("{") || x == QLatin1String("["))
            ++depth;
        else if (x == QLatin1String(")") || x == QLatin1String("}") || x == QLatin1String("]"))
            if (--depth == 0)
                return i;
    }
    return t.size();
}

// The arguments of the call whose "(" is at `open`, split at the top-level commas.
std::vector<Range> arguments(const std::vector<Token>& t, size_t open) {
    std::vector<Range> out;
    const size_t close = closing(t, open);
    if (close == open + 1)
        return out;
    size_t start = open + 1;
    int depth = 0;
    for (size_t i = open + 1; i < close; ++i) {
        const QString& x = t[i].text;
        if (x == QLatin1String("(") || x == QLatin1String("{") || x == QLatin1String("["))
            ++depth;
        else if (x == QLatin1String(")") || x == QLatin1String("}") || x == QLatin1String("]"))
            --depth;
        else if (x == QLatin1String(",") && depth == 0) {
            out.push_back({start, i});
            start = i + 1;
        }
    }
    out.push_back({start, close});
    return out;
}

QString textOf(const std::vector<Token>& t, Range r) {
    QStringList parts;
    for (size_t i = r.first; i < r.second && i < t.size(); ++i)
        parts << t[i].text;
    return parts.join(QLatin1Char(' '));
}

// Expressions read and judged fixed by hand, with the reason; any change to them fails the
// test until they are read again.
struct Reviewed {
    const char* file;
    const char* expression;
    const char* why;
};
const Reviewed kReviewed[] = {
    {"data/Schema.cpp", "\"PRAGMA table_info(\" + std :: string ( t . name ) + \");\"",
     "t runs over kExpected, the program's own table of the five table names"},
    {"oldarchive/ArchiveImport.cpp",
     "QStringLiteral ( \"SELECT count(*) FROM %1;\" ) . arg ( c . table ) . toStdString ( )",
     "c runs over the tables copied, named by the import's own table shapes"},
    {"data/Rekey.cpp",
     "QStringLiteral ( \"SELECT count(*) FROM \\\"%1\\\";\" ) . arg ( quoted ) . toStdString ( )",
     "a table name of the file, quoted as an identifier with its quotes doubled"},
    {"data/Rekey.cpp", "key . cipherSettings ( kAttached ) . toStdString ( )",
     "the cipher settings: fixed text and the key's round count, a number"},
    {"data/Rekey.cpp",
     "\"PRAGMA nuovachiave.user_version = \" + std :: to_string ( * version ) + \";\"",
     "fixed text and the file's version, a number read from the file"},
    {"backup/BackupCopy.cpp",
     "( key . cipherSettings ( ) + \"PRAGMA synchronous = FULL;\" ) . constData ( )",
     "the cipher settings: fixed text and the key's round count, a number"},
    {"data/Database.cpp", "key . cipherSettings ( ) . toStdString ( )",
     "the cipher settings: fixed text and the key's round count, a number"},
    {"data/AddedTables.cpp", "\"DROP TRIGGER IF EXISTS \" + std :: string ( t . name ) + \";\"",
     "t is one of kSearchTriggers, the program's own triggers of the search"},
    {"data/AddedTables.cpp", "std :: string ( t -> create ) + \";\"",
     "t is one of kSearchTriggers, the program's own triggers of the search"},
};

class Scan {
public:
    void add(const QString& path, const QString& text) {
        m_sources.push_back({path, tokenize(text, &m_macros)});
    }

    // Every call that hands a text to the engine, each traced to fixed text; what could not be.
    QStringList problems() {
        QStringList out;
        for (const Source& src : m_sources) {
            const auto& t = src.tokens;
            for (size_t i = 0; i + 1 < t.size(); ++i) {
                const QString& name = t[i].text;
                const bool api = name == QLatin1String("prepare") || name == QLatin1String("exec");
                const bool engine = name.startsWith(QLatin1String("sqlite3_prepare")) ||
                                    name == QLatin1String("sqlite3_exec") ||
                                    name == QLatin1String("sqlite3_get_table");
                if (t[i].kind != Token::Ident || (!api && !engine) ||
                    t[i + 1].text != QLatin1String("("))
                    continue;
                if (isDeclaration(t, i) || notTheDatabase(t, i))
                    continue;
                const auto args = arguments(t, i + 1);
                if (api && args.empty())
                    continue; // a dialog's or an event loop's exec()
                const size_t which = api ? 0 : 1;
                const QString where = QStringLiteral("%1:%2").arg(src.path).arg(t[i].line);
                if (args.size() <= which) {
                    out << where + QStringLiteral(": call without a statement");
                    continue;
                }
                ++m_calls;
                if (engine && insideEntryPoint(src, i))
                    continue;
                QString why;
                if (!constant(src, t, args[which], 0, &why))
                    out << QStringLiteral("%1: %2(%3) is not fixed text: %4")
                               .arg(where, name, textOf(t, args[which]), why);
            }
        }
        return out;
    }

    int calls() const { return m_calls; }

private:
    // `prepare(` preceded by a type or by `Database ::` declares or defines it.
    static bool isDeclaration(const std::vector<Token>& t, size_t i) {
        if (i == 0)
            return true;
        const Token& p = t[i - 1];
        if (p.kind == Token::Ident && p.text != QLatin1String("return"))
            return true;
        if (p.text == QLatin1String(">") || p.text == QLatin1String("*") ||
            p.text == QLatin1String("&"))
            return true;
        return p.text == QLatin1String("::") && i >= 2 &&
               t[i - 2].text == QLatin1String("Database");
    }

    // Calls of the same name that are not the database's: the combos' list set-up and the
    // popup menu of the date box.
    static bool notTheDatabase(const std::vector<Token>& t, size_t i) {
        if (i < 2)
            return false;
        const QString& receiver = t[i - 2].text;
        return (t[i - 1].text == QLatin1String("::") && receiver == QLatin1String("lookups")) ||
               (t[i - 1].text == QLatin1String(".") &&
                (receiver == QLatin1String("menu") || receiver == QLatin1String("loop")));
    }

    // Database::prepare and Database::exec hand their own argument to the engine.
    bool insideEntryPoint(const Source& src, size_t at) const {
        const auto& t = src.tokens;
        for (size_t i = 0; i + 3 < t.size(); ++i) {
            if (t[i].text != QLatin1String("Database") || t[i + 1].text != QLatin1String("::") ||
                (t[i + 2].text != QLatin1String("prepare") &&
                 t[i + 2].text != QLatin1String("exec")) ||
                t[i + 3].text != QLatin1String("("))
                continue;
            size_t body = closing(t, i + 3) + 1;
            while (body < t.size() && t[body].text != QLatin1String("{"))
                ++body;
            if (at > body && at < closing(t, body))
                return true;
        }
        return false;
    }

    // The expression is made of literals, named constants of literals, fixed functions and
    // parameters that every caller gives fixed text, joined by +.
    bool constant(const Source& src, const std::vector<Token>& t, Range r, int depth,
                  QString* why) {
        if (depth > 8) {
            *why = QStringLiteral("traced too deep");
            return false;
        }
        const QString text = textOf(t, r);
        for (const Reviewed& rv : kReviewed)
            if (src.path.endsWith(QLatin1String(rv.file)) && text == QLatin1String(rv.expression))
                return true;
        size_t i = r.first;
        if (i >= r.second) {
            *why = QStringLiteral("empty");
            return false;
        }
        while (i < r.second) {
            const Token& x = t[i];
            if (x.kind == Token::String) {
                ++i;
            } else if (x.text == QLatin1String("(")) {
                const size_t close = closing(t, i);
                if (!constant(src, t, {i + 1, close}, depth + 1, why))
                    return false;
                i = close + 1;
            } else if (x.text == QLatin1String("+")) {
                ++i;
            } else if (x.kind == Token::Ident && x.text == QLatin1String("std") &&
                       i + 3 < r.second && t[i + 2].text == QLatin1String("string") &&
                       t[i + 3].text == QLatin1String("(")) {
                const size_t close = closing(t, i + 3);
                if (!constant(src, t, {i + 4, close}, depth + 1, why))
                    return false;
                i = close + 1;
            } else if (x.kind == Token::Ident) {
                // A name, perhaps qualified: ns :: kName.
                size_t last = i;
                while (last + 2 < r.second && t[last + 1].text == QLatin1String("::") &&
                       t[last + 2].kind == Token::Ident)
                    last += 2;
                const QString name = t[last].text;
                const bool call = last + 1 < r.second && t[last + 1].text == QLatin1String("(");
                if (call && m_macros.count(name)) {
                    const size_t close = closing(t, last + 1);
                    for (const Range& a : arguments(t, last + 1))
                        if (!constant(src, t, a, depth + 1, why))
                            return false;
                    if (!macroIsFixed(name, why))
                        return false;
                    i = close + 1;
                } else if (call) {
                    if (closing(t, last + 1) != last + 2 || !fixedFunction(name, depth, why)) {
                        if (why->isEmpty())
                            *why = name + QStringLiteral("() takes arguments");
                        return false;
                    }
                    i = last + 3;
                } else if (m_macros.count(name) && m_macros[name].params.isEmpty()) {
                    // A macro standing for text: fixed when all it stands for is.
                    if (!macroIsFixed(name, why))
                        return false;
                    i = last + 1;
                } else {
                    if (!fixedName(src, t, name, i, depth, why))
                        return false;
                    i = last + 1;
                    // The characters of a fixed std::string are as fixed as it is.
                    if (i + 3 < r.second + 1 && t[i].text == QLatin1String(".") &&
                        (t[i + 1].text == QLatin1String("c_str") ||
                         t[i + 1].text == QLatin1String("data")) &&
                        t[i + 2].text == QLatin1String("(") && t[i + 3].text == QLatin1String(")"))
                        i += 4;
                }
            } else {
                *why = QStringLiteral("\"%1\" in the expression").arg(x.text);
                return false;
            }
        }
        return true;
    }

    bool macroIsFixed(const QString& name, QString* why, int depth = 0) {
        const Macro& m = m_macros[name];
        for (const Token& b : m.body)
            if (b.kind != Token::String && !m.params.contains(b.text) &&
                !(depth < 8 && b.kind == Token::Ident && m_macros.count(b.text) &&
                  m_macros[b.text].params.isEmpty() && macroIsFixed(b.text, why, depth + 1))) {
                *why = QStringLiteral("the macro %1 holds %2").arg(name, b.text);
                return false;
            }
        return true;
    }

    // A function without parameters whose body defines fixed texts and returns one.
    bool fixedFunction(const QString& name, int depth, QString* why) {
        for (const Source& s : m_sources) {
            const auto& t = s.tokens;
            for (size_t i = 1; i + 3 < t.size(); ++i) {
                if (t[i].text != name || t[i + 1].text != QLatin1String("(") ||
                    t[i + 2].text != QLatin1String(")") || t[i + 3].text != QLatin1String("{") ||
                    (t[i - 1].kind != Token::Ident && t[i - 1].text != QLatin1String("*")))
                    continue;
                const size_t end = closing(t, i + 3);
                size_t ret = i + 4;
                for (size_t k = i + 4; k < end; ++k)
                    if (t[k].text == QLatin1String("return"))
                        ret = k;
                if (t[ret].text != QLatin1String("return") ||
                    t[end - 1].text != QLatin1String(";")) {
                    *why = name + QStringLiteral("() does not end by returning a text");
                    return false;
                }
                // Before the return only definitions of fixed texts, which the return's names
                // are traced to.
                for (size_t k = i + 4; k < ret; ++k)
                    if (t[k].text == QLatin1String("if") || t[k].text == QLatin1String("for") ||
                        t[k].text == QLatin1String("while") || t[k].text == QLatin1String("(")) {
                        if (t[k].text == QLatin1String("(") && k > 0 &&
                            t[k - 1].text == QLatin1String("string"))
                            continue;
                        *why = name + QStringLiteral("() does more than define a text");
                        return false;
                    }
                return constant(s, t, {ret + 1, end - 1}, depth + 1, why);
            }
        }
        *why = QStringLiteral("no definition of %1()").arg(name);
        return false;
    }

    // A name: a constant defined from fixed text (const char* or std::string, const or
    // constexpr), or a `const char*` parameter that every caller gives fixed text.
    bool fixedName(const Source& src, const std::vector<Token>& t, const QString& name, size_t use,
                   int depth, QString* why) {
        std::vector<const Source*> order{&src};
        for (const Source& s : m_sources)
            if (&s != &src)
                order.push_back(&s);
        for (const Source* sp : order) {
            const Source& s = *sp;
            const auto& d = s.tokens;
            for (size_t i = 1; i + 1 < d.size(); ++i) {
                if (d[i].text != name || d[i + 1].text != QLatin1String("="))
                    continue;
                bool isConst = false;
                bool textType = false;
                for (size_t k = i; k > 0 && k + 6 > i; --k) {
                    const QString& x = d[k - 1].text;
                    if (x == QLatin1String(";") || x == QLatin1String("{") ||
                        x == QLatin1String("}"))
                        break;
                    isConst |= x == QLatin1String("const") || x == QLatin1String("constexpr");
                    textType |= x == QLatin1String("char") || x == QLatin1String("string");
                }
                if (!isConst || !textType)
                    continue;
                size_t end = i + 2;
                while (end < d.size() && d[end].text != QLatin1String(";"))
                    ++end;
                return constant(s, d, {i + 2, end}, depth + 1, why);
            }
        }
        // A parameter `const char* name` of the function around the use.
        for (size_t k = use; k >= 3; --k) {
            if (t[k].text != name || t[k - 1].text != QLatin1String("*") ||
                t[k - 2].text != QLatin1String("char") || t[k - 3].text != QLatin1String("const"))
                continue;
            if (k + 1 >= t.size() ||
                (t[k + 1].text != QLatin1String(",") && t[k + 1].text != QLatin1String(")")))
                continue;
            // The "(" of the parameter list, and the place of the parameter in it.
            int depthBack = 0;
            int index = 0;
            size_t open = k;
            while (open > 0) {
                --open;
                const QString& x = t[open].text;
                if (x == QLatin1String(")"))
                    ++depthBack;
                else if (x == QLatin1String("(") && depthBack-- == 0)
                    break;
                else if (x == QLatin1String(",") && depthBack == 0)
                    ++index;
            }
            const QString function = t[open - 1].text;
            return everyCallerFixed(src, open - 1, function, index, depth, why);
        }
        *why = QStringLiteral("%1 is neither a constant of fixed text nor a const char* "
                              "parameter")
                   .arg(name);
        return false;
    }

    // The named namespaces around a token, innermost last.
    static QStringList namespacesAt(const std::vector<Token>& t, size_t at) {
        QStringList out;
        for (size_t i = 0; i + 2 < t.size() && i < at; ++i) {
            if (t[i].text != QLatin1String("namespace"))
                continue;
            const bool named = t[i + 1].kind == Token::Ident;
            const size_t open = named ? i + 2 : i + 1;
            if (open >= t.size() || t[open].text != QLatin1String("{"))
                continue;
            if (at < closing(t, open))
                out << (named ? t[i + 1].text : QStringLiteral("(anonymous)"));
        }
        return out;
    }

    // A call is of the function defined at `def` when it names the function's namespace, or
    // lies in the same file, or in the same namespace, or in a file that uses it.
    static bool callsTheSame(const Source& defSrc, size_t def, const Source& s, size_t call) {
        const QStringList defNs = namespacesAt(defSrc.tokens, def);
        const QString ns = defNs.isEmpty() ? QString() : defNs.last();
        const auto& t = s.tokens;
        if (call >= 2 && t[call - 1].text == QLatin1String("::"))
            return t[call - 2].text == ns;
        if (&s == &defSrc || ns.isEmpty())
            return true;
        if (ns == QLatin1String("(anonymous)"))
            return false;
        if (namespacesAt(t, call).contains(ns))
            return true;
        for (size_t i = 0; i + 2 < t.size(); ++i)
            if (t[i].text == QLatin1String("using") &&
                t[i + 1].text == QLatin1String("namespace") && t[i + 2].text == ns)
                return true;
        return false;
    }

    bool everyCallerFixed(const Source& defSrc, size_t def, const QString& function, int index,
                          int depth, QString* why) {
        for (const Source& s : m_sources) {
            const auto& t = s.tokens;
            for (size_t i = 0; i + 1 < t.size(); ++i) {
                if (t[i].text != function || t[i + 1].text != QLatin1String("(") ||
                    isDeclaration(t, i) || !callsTheSame(defSrc, def, s, i))
                    continue;
                const auto args = arguments(t, i + 1);
                if (int(args.size()) <= index)
                    continue;
                QString inner;
                if (!constant(s, t, args[size_t(index)], depth + 1, &inner)) {
                    *why = QStringLiteral("%1:%2 calls %3 with %4 (%5)")
                               .arg(s.path)
                               .arg(t[i].line)
                               .arg(function, textOf(t, args[size_t(index)]), inner);
                    return false;
                }
            }
        }
        return true;
    }

    std::vector<Source> m_sources;
    std::map<QString, Macro> m_macros;
    int m_calls = 0;
};

QStringList scanText(const QString& text) {
    Scan s;
    s.add(QStringLiteral("sample.cpp"), text);
    return s.problems();
}

} // namespace

class TestStatements : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The scan itself: fixed statements pass, statements joined with a value do not.
    void theScanTellsFixedTextFromJoinedText_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("fixed");
        QTest::newRow("literal") << "void f(Database& db) { db.prepare(\"SELECT 1;\"); }" << true;
        QTest::newRow("literals on two lines")
            << "void f(Database& db) { db.prepare(\"SELECT 1 \"\n \"FROM T;\"); }" << true;
        QTest::newRow("named constant")
            << "inline constexpr const char* kList = \"SELECT * FROM T;\";\n"
               "void f(Database& db) { auto st = db.prepare(kList); }"
            << true;
        QTest::newRow("qualified constant")
            << "namespace a { inline constexpr const char* kList = \"SELECT 1;\"; }\n"
               "void f(Database& db) { db().prepare(a::kList); }"
            << true;
        QTest::newRow("parameter given literals")
            << "Status run(Database& db, const char* sql) { return db.exec(sql); }\n"
               "void g(Database& db) { run(db, \"DELETE FROM T;\"); }"
            << true;
        QTest::newRow("fixed function")
            << "std::string all() { return \"A;\" + std::string(kB); }\n"
               "const char* const kB = \"B;\";\n"
               "void g(Database& db) { db.exec(all()); }"
            << true;
        QTest::newRow("macro of literals") << "#define PICK(col) \"SELECT \" col \" FROM T;\"\n"
                                              "inline constexpr const char* kPick = PICK(\"A\");\n"
                                              "void g(Database& db) { db.prepare(kPick); }"
                                           << true;
        QTest::newRow("dialog exec") << "void g(QDialog* d) { d->exec(); }" << true;

        QTest::newRow("joined with a typed name")
            << "void f(Database& db, const QString& name) { db.prepare((\"SELECT * FROM T "
               "WHERE N = '\" + name + \"';\").toUtf8().constData()); }"
            << false;
        QTest::newRow("a QString variable")
            << "void f(Database& db, QLineEdit* e) { const QString sql = e->text(); "
               "db.exec(sql.toStdString()); }"
            << false;
        QTest::newRow("a constant joined with a value")
            << "const char* const kHead = \"SELECT * FROM T WHERE N = \";\n"
               "void f(Database& db, const std::string& v) { db.prepare(kHead + v); }"
            << false;
        QTest::newRow("a parameter given a typed text")
            << "Status run(Database& db, const char* sql) { return db.exec(sql); }\n"
               "void g(Database& db, QLineEdit* e) { run(db, qPrintable(e->text())); }"
            << false;
        QTest::newRow("a non-const char buffer")
            << "void f(Database& db, char* sql) { db.exec(sql); }" << false;
        QTest::newRow("the engine called directly")
            << "void f(sqlite3* h, const QString& n) { sqlite3_exec(h, n.toUtf8().data(), 0, 0, "
               "0); }"
            << false;
        QTest::newRow("a static text made from a typed one")
            << "void f(Database& db, const QString& n) { static const std::string q = "
               "n.toStdString(); db.prepare(q.c_str()); }"
            << false;
        QTest::newRow("a function with arguments")
            << "std::string q(const QString& n) { return n.toStdString(); }\n"
               "void g(Database& db, const QString& n) { db.exec(q(n)); }"
            << false;
    }
    void theScanTellsFixedTextFromJoinedText() {
        QFETCH(QString, code);
        QFETCH(bool, fixed);
        const QStringList problems = scanText(code);
        QVERIFY2(problems.isEmpty() == fixed, qPrintable(problems.join('\n')));
    }

    void everyStatementOfTheProgramIsFixedText() {
        const QString root = sourceDir();
        Scan scan;
        int files = 0;
        QDirIterator it(root + QStringLiteral("/src"),
                        {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            scan.add(path.mid(root.size() + 5), QString::fromUtf8(f.readAll()));
            ++files;
        }
        const QStringList problems = scan.problems();
        qInfo("%d files, %d calls handing a statement to the engine, every one fixed text", files,
              scan.calls());
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        // The program does hand statements over: a scan that found none would prove nothing.
        QVERIFY(scan.calls() > 40);
    }
};

QTEST_APPLESS_MAIN(TestStatements)
#include "tst_statements.moc"
