#include "Comparable.h"
#include "exchange/RecipeFormats.h"
#include "exchange/RecipeText.h"
#include "exchange/TextSource.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::exchange;
using pantrio::test::comparable;

namespace {

struct Read
{
    QList<RecipeValues> recipes;
    QList<std::int64_t> problemLines;
};

Read read(QIODevice& in, void (*reader)(QIODevice&, const ReadEvents&) = readMealMaster)
{
    Read out;
    ReadEvents events;
    events.recipe = [&](RecipeValues&& r, std::int64_t) {
        out.recipes << r;
        return true;
    };
    events.problem = [&](std::int64_t line, const QString&) { out.problemLines << line; };
    reader(in, events);
    return out;
}

Read readBytes(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return read(buffer);
}

QByteArray written(const QList<RecipeValues>& recipes)
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    for (const RecipeValues& r : recipes)
        writeMealMaster(out, r);
    return out.data();
}

// Text made of what MealMaster files are made of: markers, tags, sections, amounts, escapes,
// control characters, blank lines, long lines and long words.
QString hostileText(QRandomGenerator& random, int maxLines)
{
    static const QStringList pieces = {"MMMMM",
                                       "-----",
                                       "MMMMM----- Recipe via Meal-Master (tm) v8.05",
                                       "---------- Recipe via Meal-Master (tm) v8.02",
                                       "----- Recipe in Meal-Master v6.2 Importable Format",
                                       "MMMMM-----CRUST-----",
                                       "-----FILLING-----",
                                       "--- Step ---",
                                       "Notes: keep",
                                       "Source: me",
                                       "From: you",
                                       "Author: x",
                                       "Copyright 1999",
                                       "Description: d",
                                       "Preparation time: 5 minutes",
                                       "Title: t",
                                       "Categories: c",
                                       "Yield: 4",
                                       "Servings: 0",
                                       "Servings:",
                                       "\\",
                                       "\\MMMMM",
                                       "\\\\Notes:",
                                       "-",
                                       "- x",
                                       "-----x",
                                       "1.",
                                       "12",
                                       "1/2",
                                       "2 cups flour",
                                       "1 tablespoon salt",
                                       "1/2 teaspoons sugar",
                                       "3 large eggs",
                                       "1 1/2 c  milk",
                                       "FILLING:",
                                       ":",
                                       "x-:",
                                       "Crème fraîche",
                                       "\t",
                                       "\v",
                                       "\f",
                                       "\r",
                                       "\x14",
                                       "\x1a",
                                       "\x01",
                                       QString(QChar(0)),
                                       "  ",
                                       "",
                                       "2. Stir",
                                       "* dot",
                                       "Yield:4",
                                       "Servings:\t3",
                                       "\u2028",
                                       "\u00a0",
                                       "1 1/2 cups",
                                       "1 cup",
                                       "2 cup",
                                       "1 fluid ounce rum",
                                       "1/2 tb x"};
    QString text;
    const int lines = random.bounded(maxLines + 1);
    for (int i = 0; i < lines; ++i) {
        if (i > 0)
            text += QStringList{"\n", "\n", "\r\n", "\r", "\n\n", "\n \n"}[random.bounded(6)];
        const int kind = random.bounded(10);
        if (kind == 0) { // a long line of words, or one long word
            const QString word = random.bounded(3) ? QStringLiteral("word") : QString(120, u'w');
            for (int n = random.bounded(5, 80); n > 0; --n)
                text += word + QLatin1StringView(random.bounded(8) ? " " : "  ");
        }
        for (int n = random.bounded(1, 4); n > 0; --n)
            text += pieces[random.bounded(pieces.size())] + QStringList{" ", "", "   "}[random.bounded(3)];
    }
    return text;
}

QString data(const char* name)
{
    return QStringLiteral(PANTRIO_EXCHANGE_DATA "/") + QLatin1StringView(name);
}

Read readFile(const QString& path, void (*reader)(QIODevice&, const ReadEvents&))
{
    TextSource in(path);
    if (!in.open(QIODevice::ReadOnly))
        qFatal("cannot open test data");
    return read(in, reader);
}

const QByteArray Header = "MMMMM----- Recipe via Meal-Master (tm) v8.05\n";

QByteArray recipe(const QByteArray& header, const QByteArray& title,
                  const QByteArray& body = "      1 c  flour\n")
{
    return header + "\n      Title: " + title + "\n Categories: Pies\n\n" + body + "\n  Bake.\nMMMMM\n\n";
}

} // namespace

class TestMealMaster : public QObject
{
    Q_OBJECT

private slots:
    // Whatever a recipe holds, its export reads back as the same recipe, each field whole and
    // apart from the others, up to blank space.
    void anyRecipeReadsBack()
    {
        QRandomGenerator random(20261209);
        QList<RecipeValues> recipes;
        for (int i = 0; i < 400; ++i) {
            RecipeValues r;
            for (Field f : allFields)
                if (random.bounded(5))
                    r[f] = hostileText(random, f == Field::RecipeName || f == Field::FoodCategoryID ? 2 : 8);
            recipes << r;
        }
        const QByteArray file = written(recipes);
        const Read back = readBytes(file);
        QVERIFY(back.problemLines.isEmpty());
        QCOMPARE(back.recipes.size(), recipes.size());
        for (qsizetype i = 0; i < recipes.size(); ++i) {
            for (Field f : allFields) {
                const bool oneLine = test::oneLineField(f);
                if (comparable(back.recipes[i][f], oneLine) != comparable(recipes[i][f], oneLine))
                    qWarning().noquote() << "recipe" << i << "field" << int(f) << "written as\n"
                                         << QString::fromUtf8(written({recipes[i]})) << "\nread\n"
                                         << comparable(back.recipes[i][f], oneLine) << "\nexpected\n"
                                         << comparable(recipes[i][f], oneLine);
                QCOMPARE(comparable(back.recipes[i][f], oneLine), comparable(recipes[i][f], oneLine));
            }
        }
    }
    void writesAmountsInColumns_data()
    {
        QTest::addColumn<QString>("ingredient");
        QTest::addColumn<QString>("line");
        QTest::newRow("cups") << "2 cups flour"
                              << "      2 c  flour";
        QTest::newRow("tablespoon") << "1 tablespoon salt"
                                    << "      1 T  salt";
        QTest::newRow("mixed number") << "1 1/2 teaspoons baking soda"
                                      << "  1 1/2 t  baking soda";
        QTest::newRow("size") << "3 large eggs"
                              << "      3 lg eggs";
        QTest::newRow("no unit") << "4 eggs"
                                 << "      4    eggs";
        QTest::newRow("unit the reader would spell otherwise") << "1/2 teaspoons sugar"
                                                               << "    1/2    teaspoons sugar";
        QTest::newRow("no amount") << "Salt to taste"
                                   << "           Salt to taste";
        QTest::newRow("leading dash") << "- a dash of bitters"
                                      << "           \\- a dash of bitters";
        QTest::newRow("section") << "FILLING:"
                                 << "MMMMM-----FILLING-----";
    }

    // What other programs read from the columns, and what Pantrio reads back: the line as stored.
    void writesAmountsInColumns()
    {
        QFETCH(QString, ingredient);
        QFETCH(QString, line);
        RecipeValues r;
        r[Field::RecipeName] = QStringLiteral("Test");
        r[Field::Ingredients] = QStringLiteral("1 egg\n") + ingredient;
        r[Field::Instructions] = QStringLiteral("12");
        const QByteArray file = written({r});
        QVERIFY2(file.contains("\n" + line.toUtf8() + "\n"), file.constData());
        const Read back = readBytes(file);
        QCOMPARE(back.recipes.size(), 1);
        QCOMPARE(back.recipes[0][Field::Ingredients], r[Field::Ingredients]);
        QCOMPARE(back.recipes[0][Field::Instructions], r[Field::Instructions]);
    }

    void readerFaults_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QList<std::int64_t>>("problemLines");
        QTest::addColumn<QString>("ingredients"); // of the first recipe read
        const QList<std::int64_t> none;
        QTest::newRow("DOS paragraph marks, vertical tab")
            << recipe(Header, "Pie\x14", "      1 c  flour\x0b\x14\n      2    eggs\x14\n")
            << QStringList{"Pie"} << none << "1 cup flour\n2 eggs";
        QTest::newRow("header after an end-of-file mark")
            << recipe(Header, "A").replace("MMMMM\n\n", "MMMMM\x1a") + recipe(Header, "B") + "\x1a"
            << QStringList{"A", "B"} << none << "1 cup flour";
        QTest::newRow("NUL bytes before a header")
            << QByteArray("\0\0", 2) + recipe(Header, "A") << QStringList{"A"} << none << "1 cup flour";
        QTest::newRow("older headers")
            << recipe("----- Recipe in Meal-Master v6.2 Importable Format\n", "A") +
                   recipe("---------- Recipe via Meal-Master (tm) v8.05\n", "B") +
                   recipe("MMMMM----- Recipe via Meal-Master (tm) v8.02\n", "C") +
                   recipe("MMMMM----- Now You're Cooking! v5.65 [Meal-Master Export Format]\n", "D")
            << QStringList{"A", "B", "C", "D"} << none << "1 cup flour";
        QTest::newRow("section of the other kind, each way")
            << recipe("---------- Recipe via Meal-Master (tm) v8.02\n", "A",
                      "MMMMM-----CRUST-----\n      1 c  flour\n") +
                   recipe(Header, "B", "-----FILLING-----\n      2    eggs\n")
            << QStringList{"A", "B"} << none << "CRUST:\n1 cup flour";
        QTest::newRow("CR line ends")
            << recipe(Header, "A").replace('\n', '\r') << QStringList{"A"} << none << "1 cup flour";
        QTest::newRow("a line over 1 MB") << recipe(Header, QByteArray(3 << 20, 'x')) + recipe(Header, "B")
                                          << QStringList{"B"} << QList<std::int64_t>{1} << "1 cup flour";
    }

    void readerFaults()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, titles);
        QFETCH(QList<std::int64_t>, problemLines);
        QFETCH(QString, ingredients);
        const Read got = readBytes(file);
        QStringList names;
        for (const RecipeValues& r : got.recipes)
            names << r[Field::RecipeName].value_or(QString());
        QCOMPARE(names, titles);
        QCOMPARE(got.problemLines, problemLines);
        QCOMPARE(got.recipes[0][Field::Ingredients].value_or(QString()), ingredients);
        QCOMPARE(got.recipes[0][Field::Instructions].value_or(QString()), QStringLiteral("Bake."));
    }

    void decodesTextFiles_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("format");
        QTest::addColumn<QByteArray>("encoding");
        const std::tuple<const char*, Format, void (*)(QIODevice&, const ReadEvents&)> files[] = {
            {"cookbook.mmf", Format::MealMaster, readMealMaster},
            {"recipe.json", Format::Json, readJson},
            {"page.html", Format::Html, readHtml}};
        for (const auto& [name, format, reader] : files)
            for (const char* encoding : {"UTF-8 BOM", "UTF-16LE", "UTF-16BE", "NUL bytes"})
                QTest::addRow("%s, %s", name, encoding) << data(name) << int(format) << QByteArray(encoding);
    }

    // A text file in another encoding is found and read as the same file in UTF-8 is.
    void decodesTextFiles()
    {
        QFETCH(QString, source);
        QFETCH(int, format);
        QFETCH(QByteArray, encoding);
        QFile in(source);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QStringList lines;
        for (const QByteArray& line : in.readAll().split('\n'))
            lines << decodeLine(line);
        const QString text = lines.join(u'\n');
        QByteArray bytes;
        if (encoding == "UTF-8 BOM") {
            bytes = "\xEF\xBB\xBF" + text.toUtf8();
        } else if (encoding == "NUL bytes") {
            for (char c : text.toUtf8())
                bytes.append(c).append('\0');
        } else {
            QStringEncoder encoder(encoding == "UTF-16LE" ? QStringEncoder::Utf16LE : QStringEncoder::Utf16BE,
                                   QStringEncoder::Flag::WriteBom);
            bytes = encoder.encode(text);
        }
        QTemporaryDir dir;
        const QString plainPath = dir.filePath(QStringLiteral("plain")),
                      codedPath = dir.filePath(QStringLiteral("coded"));
        for (const auto& [path, content] :
             {std::pair{plainPath, text.toUtf8()}, std::pair{codedPath, bytes}}) {
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(content);
        }
        QCOMPARE(int(detectFormat(codedPath)), format);
        const auto reader = format == int(Format::MealMaster) ? readMealMaster
                            : format == int(Format::Json)     ? readJson
                                                              : readHtml;
        const Read plain = readFile(plainPath, reader), coded = readFile(codedPath, reader);
        QVERIFY(!plain.recipes.isEmpty());
        QCOMPARE(coded.problemLines, plain.problemLines);
        QCOMPARE(coded.recipes.size(), plain.recipes.size());
        for (qsizetype i = 0; i < plain.recipes.size(); ++i)
            for (Field f : allFields)
                QCOMPARE(coded.recipes[i][f], plain.recipes[i][f]);
    }
};

QTEST_GUILESS_MAIN(TestMealMaster)
#include "tst_mealmaster.moc"
