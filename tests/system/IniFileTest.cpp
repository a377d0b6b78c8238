#include "system/IniFile.h"

#include <gtest/gtest.h>

#include <fstream>

#include "TempFolder.h"

namespace quorv::platform {
namespace {

using testing::ReadFile;
using testing::TempFolder;

TIniFile FromText(const char* text) {
    return TIniFile::Parse(QByteArray(text));
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(IniFileRead, NamesIgnoreCaseAndValuesAreTrimmedAndUnquoted) {
    const TIniFile ini = FromText(
        "[Main]\r\n"
        "  Plain =  some value  \r\n"
        "Double=\" padded \"\r\n"
        "Single='x'\r\n"
        "Twice=\"\"inner\"\"\r\n"
        "Lone=\"open\r\n"
        "Mixed=\"x'\r\n"
        "Mixed2='x\"\r\n"
        "Empty=\r\n"
        "; comment=not a key\r\n"
        "no equals sign\r\n"
        "Url=http://x/?a=b\r\n");
    EXPECT_EQ(ini.Value("main", "PLAIN"), "some value");
    EXPECT_EQ(ini.Value("MAIN", "double"), " padded ");
    EXPECT_EQ(ini.Value("Main", "Single"), "x");
    EXPECT_EQ(ini.Value("Main", "Twice"), "\"inner\"");
    EXPECT_EQ(ini.Value("Main", "Lone"), "\"open");
    // Only a matching pair of quotes is taken off.
    EXPECT_EQ(ini.Value("Main", "Mixed"), "\"x'");
    EXPECT_EQ(ini.Value("Main", "Mixed2"), "'x\"");
    EXPECT_EQ(ini.Find("Main", "Empty"), QString());
    EXPECT_FALSE(ini.Find("Main", "; comment").has_value());
    EXPECT_FALSE(ini.Find("Main", "Missing").has_value());
    EXPECT_EQ(ini.Value("Main", "Missing", "fallback"), "fallback");
    EXPECT_EQ(ini.Value("Main", "Url"), "http://x/?a=b");
    EXPECT_EQ(ini.Keys("main"), (QStringList{"Plain", "Double", "Single", "Twice", "Lone", "Mixed",
                                             "Mixed2", "Empty", "Url"}));
}

TEST(IniFileRead, FirstOfEqualSectionsAndKeysWinsAndSectionsKeepFileOrder) {
    const TIniFile ini = FromText(
        "orphan=1\n"
        "[Zeta]\nk=first\nK=second\n"
        "[alpha]\nk=a\n"
        "[ZETA]\nk=third\nextra=1\n"
        "[ spaced ]\n");
    EXPECT_EQ(ini.Sections(), (QStringList{"Zeta", "alpha", "spaced"}));
    EXPECT_EQ(ini.Value("zeta", "k"), "first");
    EXPECT_FALSE(ini.Find("Zeta", "extra").has_value());
    EXPECT_TRUE(ini.HasSection("SPACED"));
    EXPECT_EQ(ini.KeysOutsideSections(), 1);
    EXPECT_FALSE(ini.Find("", "orphan").has_value());
}

// Small sections are searched line by line, large ones through a table built once they
// pass a few dozen keys; both must answer alike, also while keys are added and removed.
TEST(IniFileRead, SmallAndLargeSectionsFindKeysAlike) {
    for (const int keys : {3, 24, 25, 200}) {
        SCOPED_TRACE(keys);
        QByteArray text = "[S]\n";
        for (int i = 0; i < keys; ++i) {
            text += "Key" + QByteArray::number(i) + "=v" + QByteArray::number(i) + "\n";
        }
        text += "KEY0=later\n\xC3\x84rger=umlaut\n; key1=comment\n";
        TIniFile ini = TIniFile::Parse(text);
        EXPECT_EQ(ini.Value("s", "key0"), "v0");
        EXPECT_EQ(ini.Value("S", " KEY" + QString::number(keys - 1)),
                  "v" + QString::number(keys - 1));
        EXPECT_EQ(ini.Value("S", QString::fromUtf8("\xC3\xA4RGER")), "umlaut");
        EXPECT_FALSE(ini.Find("S", "Key" + QString::number(keys)).has_value());
        EXPECT_FALSE(ini.Find("S", "Key").has_value());
        EXPECT_EQ(ini.Keys("S").size(), keys + 1);

        const TIniFile::TSectionReader reader = ini.SectionReaders().front();
        EXPECT_EQ(reader.Find(TIniFile::FoldedName("KEY1")).value_or(u"-"), u"v1");
        EXPECT_FALSE(reader.Find(TIniFile::FoldedName("key1=comment")).has_value());

        // Added keys take the section past the size where it is indexed.
        for (int i = keys; i < keys + 30; ++i) {
            ini.SetValue("S", "Added" + QString::number(i), QString::number(i));
        }
        ini.SetValue("S", "key0", "changed");
        ini.RemoveKey("S", "KEY1");
        EXPECT_EQ(ini.Value("S", "added" + QString::number(keys + 29)), QString::number(keys + 29));
        EXPECT_EQ(ini.Value("S", "Key0"), "changed");
        EXPECT_FALSE(ini.Find("S", "Key1").has_value());
        EXPECT_EQ(ini.Keys("S").size(), keys + 30);
        const TIniFile back = TIniFile::Parse(ini.ToUtf8());
        EXPECT_EQ(back.Value("S", "ADDED" + QString::number(keys)), QString::number(keys));
        EXPECT_EQ(back.Value("S", "key0"), "changed");
    }
}

TEST(IniFileRead, ManySectionsAndLongValuesComeBackWhole) {
    QByteArray text;
    const QString longValue(100000, QLatin1Char('v'));
    for (int i = 1; i <= 5000; ++i) {
        text += "[Record_" + QByteArray::number(i) + "]\r\nName=n" + QByteArray::number(i) + "\r\n";
    }
    text += "[Long]\r\nValue=" + longValue.toUtf8() + "\r\n";
    const TIniFile ini = TIniFile::Parse(text);
    EXPECT_EQ(ini.Sections().size(), 5001);
    EXPECT_EQ(ini.Value("record_4999", "name"), "n4999");
    EXPECT_EQ(ini.Value("Long", "Value"), longValue);
}

TEST(IniFileRead, Utf8WithBomAndCp949) {
    const TIniFile bom =
        TIniFile::Parse(QByteArray("\xEF\xBB\xBF[Message]\nmsgOK=\xED\x99\x95\xEC\x9D\xB8\n"));
    EXPECT_EQ(bom.Sections(), QStringList{"Message"});
    EXPECT_EQ(bom.Value("message", "msgOK"), QString::fromUtf8("확인"));
    // "한국어" in the Korean Windows code page, section and value alike.
    const TIniFile cp949 =
        TIniFile::Parse(QByteArray("[\xC7\xD1\xB1\xB9]\r\nName=\xC7\xD1\xB1\xB9\xBE\xEE\r\n"));
    EXPECT_EQ(cp949.Sections(), QStringList{QString::fromUtf8("한국")});
    EXPECT_EQ(cp949.Value(QString::fromUtf8("한국"), "Name"), QString::fromUtf8("한국어"));
    // A lead byte without its trail is neither encoding, nor are 0x80 and 0xFF, which
    // Windows' table maps to a control and a private-use character.
    EXPECT_THROW(TIniFile::Parse(QByteArray("[a]\nk=\xC7\n")), EIniError);
    EXPECT_THROW(TIniFile::Parse(QByteArray("[a]\nk=\x80\n")), EIniError);
    EXPECT_THROW(TIniFile::Parse(QByteArray("[a]\nk=\xFF\n")), EIniError);
    // UTF-16 with its byte order mark, either way round; odd lengths are damage.
    const QByteArray le("\xFF\xFE[\0a\0]\0\n\0k\0=\0\x55\xD5\n\0", 18);
    EXPECT_EQ(TIniFile::Parse(le).Value("a", "k"), QString::fromUtf8("핕"));
    const QByteArray be("\xFE\xFF\0[\0a\0]\0\n\0k\0=\xD5\x55\0\n", 18);
    EXPECT_EQ(TIniFile::Parse(be).Value("a", "k"), QString::fromUtf8("핕"));
    EXPECT_THROW(TIniFile::Parse(le.left(17)), EIniError);
}

TEST(IniFileWrite, ReplacesInPlaceAndKeepsEveryOtherLine) {
    TempFolder dir;
    const QString path = QString::fromStdString(dir / "placement.ini");
    WriteBytes(dir / "placement.ini",
               "; written by hand\r\n"
               "[QuorvIPChage]\r\n"
               "Left = 10\r\n"
               "  Odd line  \r\n"
               "Width=728\r\n"
               "\r\n"
               "[Other]\r\n"
               "x=1\r\n");
    TIniFile ini = TIniFile::Load(path);
    ini.SetValue("quorvipchage", "LEFT", "20");
    ini.SetValue("QuorvIPChage", "Language", "English");
    ini.SetValue("New", "Key", "v");
    ini.Save(path);
    EXPECT_EQ(ReadFile(dir / "placement.ini"),
              "; written by hand\r\n"
              "[QuorvIPChage]\r\n"
              "Left=20\r\n"
              "  Odd line  \r\n"
              "Width=728\r\n"
              "Language=English\r\n"
              "\r\n"
              "[Other]\r\n"
              "x=1\r\n"
              "[New]\r\n"
              "Key=v\r\n");

    EXPECT_TRUE(TIniFile::Load(path + ".missing").Sections().isEmpty());
    WriteProfileString(path, "Other", "x", "2");
    EXPECT_EQ(ReadProfileString(path, "OTHER", "X"), "2");
    EXPECT_EQ(ReadSectionNames(path), (QStringList{"QuorvIPChage", "Other", "New"}));
}

TEST(IniFileWrite, AwkwardValuesReadBackUnchangedAndBadNamesAreRefused) {
    TIniFile ini;
    const QStringList values{" lead", "trail ",   "\"quoted\"", "'single'",
                             "\"",    "\"mixed'", "a=b;c",      ""};
    for (int i = 0; i < values.size(); ++i) {
        ini.SetValue("S", "k" + QString::number(i), values[i]);
    }
    const TIniFile reread = TIniFile::Parse(ini.ToUtf8());
    for (int i = 0; i < values.size(); ++i) {
        EXPECT_EQ(reread.Value("S", "k" + QString::number(i)), values[i]) << i;
    }
    EXPECT_THROW(ini.SetValue("S", "k", "two\nlines"), EIniError);
    EXPECT_THROW(ini.SetValue("S", "k", "cr\ronly"), EIniError);
    EXPECT_THROW(ini.SetValue("a]b", "k", "v"), EIniError);
    EXPECT_THROW(ini.SetValue("S", "k=v", "v"), EIniError);
    EXPECT_THROW(ini.SetValue("S", " ", "v"), EIniError);
}

}  // namespace
}  // namespace quorv::platform
