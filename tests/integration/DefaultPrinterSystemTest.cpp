#include <gtest/gtest.h>
#include <unistd.h>

#include "Cupsd.h"
#include "system/DefaultPrinter.h"
#include "system/Inventory.h"

namespace quorv::systest {
namespace {

class DefaultPrinterSwitch : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root for cupsd";
        }
        cups_ = std::make_unique<PrivateCupsd>();
        cups_->AddPrinter("Office", "Office laser");
        cups_->AddPrinter("Lab", "Lab inkjet");
        cups_->SetServerDefault("Office");
        cups_->UseInThisProcess();
    }

    QString InventoryDefault() {
        QStringList names, captions;
        int index = -1;
        bool read = false;
        InFreshThread([&] { inventory::ReadPrinters(names, captions, index, read); });
        return index >= 0 && index < names.size() ? names[index] : QString();
    }

    std::unique_ptr<PrivateCupsd> cups_;
};

TEST_F(DefaultPrinterSwitch, SwitchesTheDefaultAndIgnoresUnknownNames) {
    ASSERT_EQ(cups_->UserDefault(), "Office");
    auto set = [](const char* name) {
        return InFreshThread([&] { return apply::SetDefaultPrinter(name); });
    };
    EXPECT_TRUE(set("Lab"));
    EXPECT_EQ(cups_->UserDefault(), "Lab");
    // Only this user's default moved; the scheduler's own stays.
    EXPECT_EQ(cups_->ServerDefault(), "Office");
    EXPECT_EQ(InventoryDefault(), "Lab");

    EXPECT_FALSE(set("No Such Printer"));
    EXPECT_FALSE(set("Lab\"; lpadmin -x Office; \""));
    EXPECT_EQ(cups_->UserDefault(), "Lab");
    EXPECT_EQ(InventoryDefault(), "Lab");

    EXPECT_TRUE(set("Office"));
    EXPECT_EQ(cups_->UserDefault(), "Office");
}

}  // namespace
}  // namespace quorv::systest
