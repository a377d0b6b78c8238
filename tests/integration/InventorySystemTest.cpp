#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <memory>

#include "Cupsd.h"
#include "Netns.h"
#include "system/Inventory.h"
#include "system/WmiQuery.h"

namespace quorv::systest {
namespace {

using inventory::QueryTable;

// Runs the body with this thread inside the named network namespace.
class InNamespace {
  public:
    explicit InNamespace(const std::string& name)
        : home_(open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC)) {
        int target = open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
        entered_ = target >= 0 && setns(target, CLONE_NEWNET) == 0;
        if (target >= 0) {
            close(target);
        }
    }
    ~InNamespace() {
        setns(home_, CLONE_NEWNET);
        close(home_);
    }
    bool Entered() const { return entered_; }

  private:
    int home_;
    bool entered_ = false;
};

class InventorySystem : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root for network namespaces and cupsd";
        }
    }
};

TEST_F(InventorySystem, ConnectionsAreTheNamespacesInterfacesWithoutLoopback) {
    TestNetwork net(21);
    QStringList ids, names;
    QueryTable table;
    int count = 0;
    {
        InNamespace inside(net.Client());
        ASSERT_TRUE(inside.Entered());
        inventory::ReadNetworkConnections(ids, names);
        EXPECT_EQ(
            inventory::RunWmiQuery(QString(), QStringLiteral("root\\CIMV2"), QString(), QString(),
                                   QStringLiteral("Win32_NetworkAdapter"), table, count),
            13);
    }
    EXPECT_EQ(ids, QStringList{QStringLiteral("lan0")});
    EXPECT_EQ(names, QStringList{QStringLiteral("veth")});

    ASSERT_EQ(count, 1);
    auto cell = [&](const char* column) {
        int c = inventory::FindWmiColumn(table, QString::fromLatin1(column));
        EXPECT_GT(c, 0) << column;
        return table[1][c];
    };
    EXPECT_EQ(cell("NetConnectionID"), "lan0");
    EXPECT_EQ(cell("ServiceName"), "veth");
    EXPECT_EQ(cell("NetEnabled"), "False");
    EXPECT_EQ(cell("NetConnectionStatus"), "0");
    EXPECT_EQ(cell("PhysicalAdapter"), "False");
    EXPECT_EQ(cell("AdapterType"), "Ethernet 802.3");
    Result link = net.InClient({"/usr/sbin/ip", "-br", "link", "show", "dev", "lan0"});
    EXPECT_NE(QString::fromStdString(link.out).toUpper().indexOf(cell("MACAddress")), -1)
        << link.out;
    EXPECT_EQ(table[0][0], "Instance");
    EXPECT_EQ(table[1][0], "1");
}

class PrinterInventory : public InventorySystem {
  protected:
    void SetUp() override {
        InventorySystem::SetUp();
        if (IsSkipped()) {
            return;
        }
        cups_ = std::make_unique<PrivateCupsd>();
        cups_->AddPrinter("Office", "Office laser");
        cups_->AddPrinter("Lab", "Lab inkjet");
        cups_->SetServerDefault("Office");
        cups_->UseInThisProcess();
    }
    std::unique_ptr<PrivateCupsd> cups_;
};

TEST_F(PrinterInventory, ListsBothPrintersWithCaptionsAndTheDefault) {
    QStringList names, captions;
    int defaultIndex = -1;
    bool read = false;
    InFreshThread([&] { inventory::ReadPrinters(names, captions, defaultIndex, read); });
    EXPECT_TRUE(read);
    ASSERT_EQ(names.size(), 2);
    int office = int(names.indexOf(QStringLiteral("Office")));
    int lab = int(names.indexOf(QStringLiteral("Lab")));
    ASSERT_GE(office, 0);
    ASSERT_GE(lab, 0);
    EXPECT_EQ(captions[office], "Office laser");
    EXPECT_EQ(captions[lab], "Lab inkjet");
    EXPECT_EQ(defaultIndex, office);

    QueryTable table;
    int count = 0;
    int columns = InFreshThread([&] {
        return inventory::RunWmiQuery(
            QString(), QStringLiteral("root\\CIMV2"), QString(), QString(),
            QStringLiteral("SELECT Name, PortName FROM Win32_Printer WHERE Default = FALSE"), table,
            count);
    });
    ASSERT_EQ(columns, 2);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(table[0], (QStringList{"Instance", "Name", "PortName"}));
    EXPECT_EQ(table[1], (QStringList{"1", "Lab", "file:///dev/null"}));
}

TEST_F(InventorySystem, UnreachableSchedulerGivesEmptyListsAtOnce) {
    setenv("CUPS_SERVER",
           ("/tmp/quorvt-nowhere-" + std::to_string(getpid()) + "/cups.sock").c_str(), 1);
    QStringList names{QStringLiteral("stale")}, captions{QStringLiteral("stale")};
    int defaultIndex = 5;
    bool read = false;
    auto start = std::chrono::steady_clock::now();
    InFreshThread([&] { inventory::ReadPrinters(names, captions, defaultIndex, read); });
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::milliseconds(1000));
    EXPECT_TRUE(names.isEmpty());
    EXPECT_TRUE(captions.isEmpty());
    EXPECT_EQ(defaultIndex, 5);
    EXPECT_TRUE(read);
}

}  // namespace
}  // namespace quorv::systest
