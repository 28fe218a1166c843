#include "i18n/uLanguage.h"

#include <QFile>
#include <QHash>
#include <QTest>

// The expected texts are kept as data beside the test, one "key<TAB>English<TAB>Portuguese" line each.
class TestLanguage : public QObject
{
    Q_OBJECT

    struct Expected
    {
        QString english;
        QString portuguese;
    };
    QHash<QString, Expected> m_expected;

    QHash<QString, QString> snapshot() const
    {
        QHash<QString, QString> texts;
        int count = 0;
        const TTextEntry* entries = TextEntries(&count);
        for (int i = 0; i < count; ++i)
            texts.insert(QString::fromLatin1(entries[i].key), *entries[i].text);
        return texts;
    }

    void compareAll(bool english)
    {
        const auto texts = snapshot();
        QCOMPARE(texts.size(), m_expected.size());
        for (auto it = m_expected.cbegin(); it != m_expected.cend(); ++it) {
            QVERIFY2(texts.contains(it.key()), qPrintable(it.key()));
            QCOMPARE(texts.value(it.key()), english ? it->english : it->portuguese);
        }
    }

private slots:
    void initTestCase()
    {
        QFile file(QStringLiteral(TEXTS_TSV));
        QVERIFY(file.open(QIODevice::ReadOnly));
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).chopped(1);
            const QStringList parts = line.split(QLatin1Char('\t'));
            QCOMPARE(parts.size(), 3);
            m_expected.insert(parts[0], { parts[1], parts[2] });
        }
        QVERIFY(m_expected.size() >= 79);
    }

    void fillsAreCompleteAndExact()
    {
        LoadEnglishTexts();
        compareAll(true);
        LoadPortugueseTexts();
        compareAll(false);
    }

    void switchingBackLeavesNoTraceOfTheOtherLanguage()
    {
        LoadPortugueseTexts();
        const auto single = snapshot();
        LoadEnglishTexts();
        LoadPortugueseTexts();
        QCOMPARE(snapshot(), single);
    }

    void languageRule_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("ready");
        QTest::addRow("0 is Portuguese") << 0 << QStringLiteral("Pronto");
        QTest::addRow("1 is English") << 1 << QStringLiteral("Ready");
        QTest::addRow("2") << 2 << QStringLiteral("Ready");
        QTest::addRow("255") << 255 << QStringLiteral("Ready");
        QTest::addRow("-1") << -1 << QStringLiteral("Ready");
    }

    void languageRule()
    {
        QFETCH(int, language);
        QFETCH(QString, ready);
        ApplyLanguageRule(language);
        QCOMPARE(txtReady, ready);
    }

    void prefixesKeepOneTrailingBlank()
    {
        for (int lang : { 0, 1 }) {
            ApplyLanguageRule(lang);
            for (const QString* prefix : { &txtNextRunAt, &txtThreads, &txtNextEmailAt, &txtDetailsCaption }) {
                QVERIFY(prefix->endsWith(QLatin1Char(' ')));
                QVERIFY(!prefix->endsWith(QLatin1String("  ")));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestLanguage)
#include "tst_uLanguage.moc"
