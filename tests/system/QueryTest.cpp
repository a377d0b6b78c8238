#include <gtest/gtest.h>

#include "system/CimValue.h"
#include "system/Inventory.h"
#include "system/WmiQuery.h"
#include "system/Wql.h"

namespace quorv::inventory {
namespace {

const QString kNs = QStringLiteral("root\\CIMV2");

TEST(CimValueToText, FollowsTheTypeRules) {
    EXPECT_EQ(CimValueToText(CimValue::Null(CimType::String)), "NULL");
    EXPECT_EQ(CimValueToText(CimValue::Null(CimType::Boolean)), "NULL");
    EXPECT_EQ(CimValueToText(CimValue::Of(CimType::SInt32, -42)), "-42");
    EXPECT_EQ(CimValueToText(CimValue::Of(CimType::UInt32, 4294967295u)), "4294967295");
    EXPECT_EQ(CimValueToText(CimValue::Of(CimType::SInt64, qint64(-9000000000LL))), "-9000000000");
    EXPECT_EQ(CimValueToText(CimValue::Of(CimType::UInt64, QStringLiteral("18446744073709551615"))),
              "18446744073709551615");
    EXPECT_EQ(CimValueToText(CimValue::Of(CimType::String, QStringLiteral("사무실 LAN"))),
              "사무실 LAN");
    EXPECT_EQ(CimValueToText(CimValue::Of(CimType::Boolean, true)), "True");
    EXPECT_EQ(CimValueToText(CimValue::Of(CimType::Boolean, false)), "False");
    EXPECT_EQ(CimValueToText(CimValue::Of(CimType::Object, QStringLiteral("x"))), "<CIM Object>");
    EXPECT_EQ(CimValueToText(CimValue::Of(CimType::Char16, 65)), "<16-bit character>");
    EXPECT_EQ(CimValueToText(
                  CimValue::Of(CimType::DateTime, QStringLiteral("20240101000000.000000+000"))),
              "20240101000000.000000+000");
    EXPECT_EQ(CimValueToText(CimValue::Of(static_cast<CimType>(99), 5)), "");
}

TEST(CimValueToText, RealsUseGeneralFormatWithFifteenDigits) {
    EXPECT_EQ(CimValueToText(CimValue::Of(CimType::Real64, 1.5)), "1.5");
    EXPECT_EQ(CimValueToText(CimValue::Of(CimType::Real64, 0.1 + 0.2)), "0.3");
    EXPECT_EQ(CimValueToText(CimValue::Of(CimType::Real64, 1.0 / 3.0)), "0.333333333333333");
    EXPECT_EQ(CimValueToText(CimValue::Of(CimType::Real64, 1e20)), "1E20");
    EXPECT_EQ(CimValueToText(CimValue::Of(CimType::Real32, 2.5e-7)), "2.5E-7");
    EXPECT_EQ(CimValueToText(CimValue::Of(CimType::Real64, 100.0)), "100");
}

TEST(CimValueToText, ArraysJoinWithBars) {
    EXPECT_EQ(CimValueToText(CimValue::Array(CimType::UInt16, {1, 2, 3})), "1|2|3");
    EXPECT_EQ(CimValueToText(
                  CimValue::Array(CimType::String, {QStringLiteral("a"), QStringLiteral("b")})),
              "a|b");
    EXPECT_EQ(CimValueToText(CimValue::Array(CimType::String, {QStringLiteral("only")})), "only");
    EXPECT_EQ(CimValueToText(CimValue::Array(CimType::String, {})), "");
}

// A provider with fixed answers, in the order WMI would list the properties.
class FakeSource : public WmiSource {
  public:
    std::optional<WmiClass> Instances(const QString& className) const override {
        if (className.compare(QLatin1String("Win32_Printer"), Qt::CaseInsensitive) == 0) {
            WmiClass cls;
            cls.properties = {QStringLiteral("Caption"), QStringLiteral("Default"),
                              QStringLiteral("Name")};
            cls.objects = {Printer("Office", "Office laser", false), Printer("Lab", "", true),
                           Printer("Desk", "Desk inkjet", true)};
            return cls;
        }
        if (className.compare(QLatin1String("Win32_NetworkAdapter"), Qt::CaseInsensitive) == 0) {
            WmiClass cls;
            cls.properties = {QStringLiteral("Index"), QStringLiteral("Name"),
                              QStringLiteral("NetConnectionID")};
            cls.objects = {Adapter(1, "WAN Miniport", CimValue::Null(CimType::String)),
                           Adapter(2, "Realtek PCIe GbE", Text("eth0")),
                           Adapter(7, nullptr, Text("wlan0"))};
            return cls;
        }
        if (className == QLatin1String("Empty_Class")) {
            WmiClass cls;
            cls.properties = {QStringLiteral("Name")};
            return cls;
        }
        return std::nullopt;
    }

  private:
    static CimValue Text(const char* text) {
        return text ? CimValue::Of(CimType::String, QString::fromUtf8(text))
                    : CimValue::Null(CimType::String);
    }
    static WmiObject Printer(const char* name, const char* caption, bool isDefault) {
        return {{QStringLiteral("Caption"), Text(*caption ? caption : name)},
                {QStringLiteral("Default"), CimValue::Of(CimType::Boolean, isDefault)},
                {QStringLiteral("Name"), Text(name)}};
    }
    static WmiObject Adapter(int index, const char* name, const CimValue& id) {
        return {{QStringLiteral("Index"), CimValue::Of(CimType::UInt32, index)},
                {QStringLiteral("Name"), Text(name)},
                {QStringLiteral("NetConnectionID"), id}};
    }
};

TEST(RunWmiQuery, PrinterQueryBuildsTheTableInProviderOrder) {
    FakeSource source;
    QueryTable table;
    int count = -5;
    int n = RunWmiQuery(source, QString(), kNs, QString(), QString(),
                        QStringLiteral("SELECT Name, Caption, Default FROM Win32_Printer "), table,
                        count);
    ASSERT_EQ(n, 3);
    ASSERT_EQ(count, 3);
    ASSERT_EQ(table.size(), 4);
    EXPECT_EQ(table[0], (QStringList{"Instance", "Caption", "Default", "Name"}));
    EXPECT_EQ(table[1], (QStringList{"1", "Office laser", "False", "Office"}));
    EXPECT_EQ(table[2], (QStringList{"2", "Lab", "True", "Lab"}));
    EXPECT_EQ(table[3], (QStringList{"3", "Desk inkjet", "True", "Desk"}));
    EXPECT_EQ(FindWmiColumn(table, QStringLiteral("Name")), 3);
    EXPECT_EQ(FindWmiColumn(table, QStringLiteral("name")), 0);
    EXPECT_EQ(FindWmiColumn(table, QStringLiteral("Instance")), 0);
    EXPECT_EQ(FindWmiColumn(QueryTable(), QStringLiteral("Name")), 0);
}

TEST(RunWmiQuery, WhereNotNullDropsAdaptersWithoutConnectionAndNullsShow) {
    FakeSource source;
    QueryTable table;
    int count = 0;
    int n =
        RunWmiQuery(source, QString(), kNs, QString(), QString(),
                    QStringLiteral("SELECT NetConnectionID, Name FROM Win32_NetworkAdapter  WHERE "
                                   "NetConnectionID <> NULL"),
                    table, count);
    ASSERT_EQ(n, 2);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(table[0], (QStringList{"Instance", "Name", "NetConnectionID"}));
    EXPECT_EQ(table[1], (QStringList{"1", "Realtek PCIe GbE", "eth0"}));
    EXPECT_EQ(table[2], (QStringList{"2", "NULL", "wlan0"}));
}

TEST(RunWmiQuery, ConditionsCompareLikeWql) {
    FakeSource source;
    QueryTable table;
    int count = 0;
    auto run = [&](const char* query) {
        return RunWmiQuery(source, QString(), kNs, QString(), QString(), QString::fromUtf8(query),
                           table, count);
    };
    EXPECT_EQ(run("SELECT Name FROM Win32_Printer WHERE Default = TRUE AND Name <> 'lab'"), 1);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(table[1][1], "Desk");
    EXPECT_EQ(
        run("select * from win32_networkadapter where Index >= 2 and NetConnectionID is not null"),
        -1);
    EXPECT_EQ(run("SELECT * FROM win32_networkadapter WHERE Index >= 2"), 3);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(run("SELECT Name FROM Win32_NetworkAdapter WHERE NetConnectionID IS NULL"), 1);
    EXPECT_EQ(table[1][1], "WAN Miniport");
    EXPECT_EQ(run("SELECT Name FROM Win32_NetworkAdapter WHERE NetConnectionID = \"ETH0\""), 1);
    EXPECT_EQ(table[1][1], "Realtek PCIe GbE");
    EXPECT_EQ(run("SELECT Name FROM Win32_Printer WHERE Name = 'Nowhere'"), 0);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(table.isEmpty());
}

TEST(RunWmiQuery, ClassNamesListInstancesAndFailuresGiveMinusOne) {
    FakeSource source;
    QueryTable table;
    int count = 0;
    EXPECT_EQ(RunWmiQuery(source, QString(), kNs, QString(), QString(),
                          QStringLiteral("Win32_Printer"), table, count),
              3);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(RunWmiQuery(source, QString(), kNs, QString(), QString(),
                          QStringLiteral("Empty_Class"), table, count),
              0);
    EXPECT_TRUE(table.isEmpty());

    struct Case {
        QString server, ns, user, query;
    } failures[] = {
        {QString(), kNs, QString(), QStringLiteral("No_Such_Class")},
        // Lower-case select is a class name, and no class is called that.
        {QString(), kNs, QString(), QStringLiteral("select Name from Win32_Printer")},
        {QString(), kNs, QString(), QStringLiteral("SELECT Bogus FROM Win32_Printer")},
        {QString(), kNs, QString(),
         QStringLiteral("SELECT Name FROM Win32_Printer WHERE Bogus = 1")},
        {QString(), kNs, QString(),
         QStringLiteral("SELECT Name FROM Win32_Printer WHERE Name = 'x")},
        {QString(), kNs, QString(), QStringLiteral("SELECT Name, FROM Win32_Printer")},
        {QString(), kNs, QString(), QStringLiteral("SELECT Name FROM Win32_Printer extra")},
        {QString(), QStringLiteral("root\\default"), QString(), QStringLiteral("Win32_Printer")},
        {QStringLiteral("faraway"), kNs, QString(), QStringLiteral("Win32_Printer")},
        {QString(), kNs, QStringLiteral("admin"), QStringLiteral("Win32_Printer")},
    };
    for (const auto& f : failures) {
        table = QueryTable{QStringList{"stale"}};
        count = 9;
        EXPECT_EQ(RunWmiQuery(source, f.server, f.ns, f.user, QString(), f.query, table, count), -1)
            << f.query.toStdString();
        EXPECT_EQ(count, 0);
        EXPECT_TRUE(table.isEmpty());
    }
}

TEST(Readers, ConnectionsSkipAdaptersWithoutIdAndShowNullNames) {
    QStringList ids{QStringLiteral("old")}, names;
    ReadNetworkConnections(FakeSource(), ids, names);
    EXPECT_EQ(ids, (QStringList{"eth0", "wlan0"}));
    EXPECT_EQ(names, (QStringList{"Realtek PCIe GbE", "NULL"}));
}

TEST(Readers, LastDefaultPrinterWinsAndNoneKeepsTheIndex) {
    QStringList names, captions;
    int index = 0;
    bool read = false;
    ReadPrinters(FakeSource(), names, captions, index, read);
    EXPECT_EQ(names, (QStringList{"Office", "Lab", "Desk"}));
    EXPECT_EQ(captions, (QStringList{"Office laser", "Lab", "Desk inkjet"}));
    EXPECT_EQ(index, 2);
    EXPECT_TRUE(read);

    // A provider that fails: lists emptied, index untouched, and still marked as read.
    class Failing : public WmiSource {
        std::optional<WmiClass> Instances(const QString&) const override { return std::nullopt; }
    };
    read = false;
    index = 7;
    ReadPrinters(Failing(), names, captions, index, read);
    EXPECT_TRUE(names.isEmpty());
    EXPECT_TRUE(captions.isEmpty());
    EXPECT_EQ(index, 7);
    EXPECT_TRUE(read);
}

TEST(Readers, AMissingColumnReadsInstanceNumbers) {
    // Printers without a Caption property: the instance numbers stand in for it.
    class NoCaption : public WmiSource {
        std::optional<WmiClass> Instances(const QString& className) const override {
            if (className != QLatin1String("Win32_Printer")) {
                return std::nullopt;
            }
            WmiClass cls;
            cls.properties = {QStringLiteral("Caption"), QStringLiteral("Default"),
                              QStringLiteral("Name")};
            cls.objects = {
                {{QStringLiteral("Default"), CimValue::Of(CimType::Boolean, false)},
                 {QStringLiteral("Name"), CimValue::Of(CimType::String, QStringLiteral("P1"))}},
                {{QStringLiteral("Default"), CimValue::Of(CimType::Boolean, false)},
                 {QStringLiteral("Name"), CimValue::Of(CimType::String, QStringLiteral("P2"))}}};
            return cls;
        }
    };
    QStringList names, captions;
    int index = 0;
    bool read = false;
    ReadPrinters(NoCaption(), names, captions, index, read);
    EXPECT_EQ(names, (QStringList{"P1", "P2"}));
    EXPECT_EQ(captions, (QStringList{"1", "2"}));
    EXPECT_EQ(index, 0);
}

TEST(ParseWql, RejectsMalformedText) {
    EXPECT_TRUE(ParseWql(QStringLiteral("SELECT a, b FROM c WHERE a <= 3 AND b != 'x y'")));
    for (const char* bad :
         {"SELECT", "SELECT a", "SELECT a FROM", "SELECT FROM c", "SELECT a FROM c WHERE",
          "SELECT a FROM c WHERE a", "SELECT a FROM c WHERE a IS", "SELECT a FROM c WHERE a < NULL",
          "SELECT a FROM c WHERE a = b", "SELECT a FROM c; DROP",
          "SELECT a FROM c WHERE a = 1 OR b = 2"}) {
        EXPECT_FALSE(ParseWql(QString::fromUtf8(bad))) << bad;
    }
}

}  // namespace
}  // namespace quorv::inventory
