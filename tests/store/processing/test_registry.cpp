#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include "store/processing/Compress_Zlib.h"
#include "store/processing/EncAlgos.h"
#include "store/processing/ProcessMgr.h"
#include "store/processing/ProcessRegistry.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {
namespace {

using Bytes = std::vector<uint8_t>;

template <class Fn>
std::string DatabaseError(Fn fn) {
    try {
        fn();
    } catch (const EDatabaseError& e) {
        return e.what();
    }
    return "none";
}

// Test algorithms registered only by the cases below.
class TRenamedAlgo : public TCompressAlgo {
  public:
    using TCompressAlgo::TCompressAlgo;
    void EncodeData(TStream*, TStream*, int32_t) override {}
    void DecodeData(TStream*, TStream*, int32_t) override {}
};
class TTwinA : public TRenamedAlgo {
    using TRenamedAlgo::TRenamedAlgo;
};
class TTwinB : public TRenamedAlgo {
    using TRenamedAlgo::TRenamedAlgo;
};
class TBrokenAlgo : public TRenamedAlgo {
  public:
    explicit TBrokenAlgo(TStoreProcessing* owner) : TRenamedAlgo(owner) {
        throw std::runtime_error("cannot start");
    }
};

// ---------------------------------------------------------------------------------------------

TEST(Registry, StartUpRegistrationsComeFirst) {
    const auto compress = CompressRegistry().Entries();
    ASSERT_GE(compress.size(), 1u);
    EXPECT_EQ(compress[0].name, "ZLIB");
    EXPECT_EQ(compress[0].type, std::type_index(typeid(TCompAlgo_Zlib)));

    const auto encrypt = EncryptRegistry().Entries();
    ASSERT_GE(encrypt.size(), 3u);
    EXPECT_EQ(encrypt[0].name, "Blowfish");
    EXPECT_EQ(encrypt[1].name, "Twofish");
    EXPECT_EQ(encrypt[2].name, "Gost");
    EXPECT_EQ(encrypt[2].type, std::type_index(typeid(TEncAlgo_Gost)));
}

TEST(Registry, LookupIgnoresCase) {
    TEncryptMgr mgr;
    const int gost = mgr.FindAlgo("Gost");
    EXPECT_EQ(mgr.FindAlgo("gost"), gost);
    EXPECT_EQ(mgr.FindAlgo("GOST"), gost);
    EXPECT_EQ(TCompressMgr().FindAlgo("zlib"), 0);

    mgr.SetAlgoName("gOsT");
    ASSERT_NE(mgr.Algo(), nullptr);
    EXPECT_EQ(typeid(*mgr.Algo()), typeid(TEncAlgo_Gost));
    mgr.SetAlgoName("twofish");
    EXPECT_EQ(typeid(*mgr.Algo()), typeid(TEncAlgo_Twofish));
    mgr.SetAlgoName("BLOWFISH");
    EXPECT_EQ(typeid(*mgr.Algo()), typeid(TEncAlgo_Blowfish));

    // Only letters fold: a near miss is no match.
    EXPECT_FALSE(SameAlgoName("Gost", "Gost "));
    EXPECT_FALSE(SameAlgoName("Gos", "Gost"));
}

TEST(Registry, ReRegistrationRenames) {
    RegisterCompressAlgo<TRenamedAlgo>("Renamed1");
    const size_t count = CompressRegistry().Entries().size();
    const int index = CompressRegistry().Find("renamed1");
    ASSERT_GE(index, 1);

    RegisterCompressAlgo<TRenamedAlgo>("Renamed2");
    EXPECT_EQ(CompressRegistry().Entries().size(), count);
    EXPECT_EQ(CompressRegistry().Find("Renamed1"), -1);
    EXPECT_EQ(CompressRegistry().Find("RENAMED2"), index);

    TCompressMgr mgr;
    EXPECT_EQ(DatabaseError([&] { mgr.SetAlgoName("Renamed1"); }),
              "Compression algorithm module 'Renamed1' not found");
    mgr.SetAlgoName("renamed2");
    EXPECT_EQ(typeid(*mgr.Algo()), typeid(TRenamedAlgo));
}

TEST(Registry, FirstOfEqualNamesWins) {
    RegisterCompressAlgo<TTwinA>("Twin");
    RegisterCompressAlgo<TTwinB>("TWIN");
    TCompressMgr mgr;
    mgr.SetAlgoName("twin");
    EXPECT_EQ(typeid(*mgr.Algo()), typeid(TTwinA));
}

// ---------------------------------------------------------------------------------------------

TEST(Managers, UnknownNamesFailAndKeepTheAlgorithm) {
    TEncryptMgr enc;
    enc.SetAlgoName("Gost");
    TDataProcessAlgo* before = enc.Algo();
    EXPECT_EQ(DatabaseError([&] { enc.SetAlgoName("Rijndael"); }),
              "Encryption algorithm module 'Rijndael' not found");
    EXPECT_EQ(DatabaseError([&] { enc.FindAlgo("ZLIB"); }),
              "Encryption algorithm module 'ZLIB' not found");
    EXPECT_EQ(DatabaseError([&] { enc.SetAlgoName(""); }),
              "Encryption algorithm module '' not found");
    EXPECT_EQ(enc.Algo(), before);

    TCompressMgr comp;
    comp.SetAlgoName("ZLIB");
    EXPECT_EQ(DatabaseError([&] { comp.SetAlgoName("Gost"); }),
              "Compression algorithm module 'Gost' not found");
    EXPECT_EQ(DatabaseError([&] { comp.SetAlgoName("%s%s"); }),
              "Compression algorithm module '%s%s' not found");
    EXPECT_EQ(typeid(*comp.Algo()), typeid(TCompAlgo_Zlib));
}

TEST(Managers, FailingConstructionKeepsTheAlgorithm) {
    RegisterCompressAlgo<TBrokenAlgo>("Broken");
    TCompressMgr mgr;
    mgr.SetAlgoName("ZLIB");
    TDataProcessAlgo* before = mgr.Algo();
    EXPECT_THROW(mgr.SetAlgoName("Broken"), std::runtime_error);
    EXPECT_EQ(mgr.Algo(), before);
}

TEST(Managers, SelectingTheSameClassKeepsTheObject) {
    TEncryptMgr mgr;
    mgr.SetAlgoName("Gost");
    mgr.InitKey("8074");
    TDataProcessAlgo* algo = mgr.Algo();
    Bytes a(16, 0x11), first(16), second(16);
    mgr.EncodeBuffer(a.data(), first.data(), 16);

    mgr.SetAlgoName("GOST");
    EXPECT_EQ(mgr.Algo(), algo);
    mgr.EncodeBuffer(a.data(), second.data(), 16);  // the key survived
    EXPECT_EQ(second, first);

    TCompressMgr comp;
    comp.SetAlgoName("ZLIB");
    comp.CompressAlgo()->SetLevel(0);
    comp.SetAlgoName("zlib");
    EXPECT_EQ(comp.CompressAlgo()->GetLevel(), 0);

    // Another class replaces the object, and coming back gives a fresh one without a key.
    mgr.SetAlgoName("Blowfish");
    mgr.SetAlgoName("Gost");
    EXPECT_THROW(mgr.EncodeBuffer(a.data(), second.data(), 16), EEncryptException);
}

TEST(Managers, WithoutAlgorithmEveryCallIsAGeneralError) {
    TEncryptMgr enc;
    TCompressMgr comp;
    TMemoryStream s, d;
    uint8_t b[8] = {};
    const std::string kGeneral = "General error";
    EXPECT_EQ(DatabaseError([&] { enc.EncodeData(&s, &d, 0); }), kGeneral);
    EXPECT_EQ(DatabaseError([&] { enc.DecodeData(&s, &d, 0); }), kGeneral);
    EXPECT_EQ(DatabaseError([&] { enc.EncodeBuffer(b, b, 8); }), kGeneral);
    EXPECT_EQ(DatabaseError([&] { enc.DecodeBuffer(b, b, 8); }), kGeneral);
    EXPECT_EQ(DatabaseError([&] { enc.SetMode(0); }), kGeneral);
    EXPECT_EQ(DatabaseError([&] { enc.InitKey("x"); }), kGeneral);
    EXPECT_EQ(DatabaseError([&] { enc.Done(); }), kGeneral);
    EXPECT_EQ(DatabaseError([&] { comp.EncodeData(&s, &d, 0); }), kGeneral);
    EXPECT_EQ(DatabaseError([&] { comp.DecodeData(&s, &d, 0); }), kGeneral);
}

}  // namespace
}  // namespace quorv::store
