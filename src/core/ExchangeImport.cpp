#include <QFile>

#include <algorithm>
#include <chrono>
#include <optional>
#include <unordered_set>
#include <utility>

#include "core/ExchangeRules.h"
#include "core/ProfileChecks.h"
#include "core/ProfileExchange.h"
#include "core/ProfileRecord.h"
#include "core/TableWriteLock.h"
#include "store/StoreBatch.h"
#include "store/StoreTable.h"
#include "system/IniFile.h"

namespace quorv::settings {

using apply::Profile;

namespace {

// What the file brings is checked as qic add checks what it is given, so an import never
// stores a value the apply run would refuse. Name and printer are cut, not refused; the
// connection name may be another machine's and is only refused where it could not be
// stored as it is.
void CheckImported(const Profile& p) {
    const std::pair<const std::string*, const char*> texts[] = {
        {&p.Name, "the name "},
        {&p.Printer, "the printer name "},
        {&p.Interface, "the connection name "}};
    for (const auto& [text, what] : texts) {
        if (std::any_of(text->begin(), text->end(),
                        [](char c) { return static_cast<unsigned char>(c) < ' ' || c == 0x7F; })) {
            throw apply::RefusedValue(what + apply::ShownValue(*text) +
                                      " contains a control character");
        }
    }
    const std::string& connection = p.Interface;
    const auto width = static_cast<size_t>(apply::ProfileColumnWidth("Interface"));
    if (connection.size() > width) {
        throw apply::RefusedValue("the connection name " + apply::ShownValue(connection) +
                                  " is longer than " + std::to_string(width) + " bytes");
    }
    // Length and blanks only mean another machine's name; these would be read as an option
    // or a path by the programs an apply starts.
    const std::string shown = "the connection name " + apply::ShownValue(connection);
    if (connection.starts_with('-')) {
        throw apply::RefusedValue(shown + " starts with \"-\"");
    }
    if (connection == "." || connection == "..") {
        throw apply::RefusedValue(shown + " is not allowed");
    }
    if (connection.find_first_of("/:") != std::string::npos) {
        throw apply::RefusedValue(shown + " contains \"/\" or \":\"");
    }
    apply::CheckProfileSettings(p);
    // A profile without a name could never be found, renamed or deleted again.
    if (p.Name.empty()) {
        throw apply::RefusedValue("the profile name is empty");
    }
}

// How long an import keeps the write lock before letting other programs' writes in.
constexpr auto kLockTurn = std::chrono::milliseconds(250);

// Adds or replaces `p`; the caller holds the write lock, so the look-up and the write are
// one step. Nothing when the name is taken and `replace` is not yet known.
std::optional<TImportOutcome> ImportOne(store::TStoreTable& profiles, const Profile& p,
                                        std::optional<bool> replace) {
    const bool exists = app::FindProfile(profiles, p.Name);
    if (exists && !replace) {
        return std::nullopt;
    }
    if (exists && !*replace) {
        return TImportOutcome::Kept;
    }
    app::SaveProfile(profiles, p, exists);
    return exists ? TImportOutcome::Replaced : TImportOutcome::Added;
}

// One hold of the write lock, its writes one batch: visible and durable together.
struct Turn {
    explicit Turn(store::TStoreTable& profiles) : lock(profiles), batch(profiles) {}
    app::TableWriteLock lock;
    store::TStoreBatch batch;
};

// `asks`: answering may wait for a person, so the turn ends first.
TImportSummary Import(store::TStoreTable& profiles, const std::vector<Profile>& incoming,
                      const TConflictAnswer& answer, bool asks, const TImportProgress& progress) {
    TImportSummary summary;
    // Outcomes of the open turn, told once it is committed.
    std::vector<std::pair<const Profile*, TImportOutcome>> told;
    std::optional<Turn> turn;
    auto endTurn = [&] {
        if (!turn) {
            return;
        }
        turn->batch.Commit();
        turn.reset();
        for (const auto& [p, outcome] : told) {
            switch (outcome) {
                case TImportOutcome::Added:
                    ++summary.Added;
                    break;
                case TImportOutcome::Replaced:
                    ++summary.Replaced;
                    break;
                case TImportOutcome::Kept:
                    ++summary.Kept;
                    break;
            }
            if (outcome != TImportOutcome::Kept) {
                summary.Stored.push_back(*p);
            }
            if (progress) {
                progress(p->Name, outcome);
            }
        }
        told.clear();
    };
    auto taken = std::chrono::steady_clock::now();
    for (const Profile& p : incoming) {
        std::optional<bool> replace;
        std::optional<TImportOutcome> outcome;
        while (true) {
            if (!turn) {
                turn.emplace(profiles);
                taken = std::chrono::steady_clock::now();
            }
            if ((outcome = ImportOne(profiles, p, replace))) {
                break;
            }
            if (asks) {
                // Nobody's writes wait on a person; the name is looked up again after.
                endTurn();
            }
            replace = answer(p.Name);
            if (!replace) {
                endTurn();
                summary.Stopped = true;
                return summary;
            }
        }
        told.emplace_back(&p, *outcome);
        if (std::chrono::steady_clock::now() - taken > kLockTurn) {
            endTurn();
        }
    }
    endTurn();
    return summary;
}

}  // namespace

std::vector<Profile> ReadExchangeFile(const QString& path, std::vector<SkippedSection>* skipped) {
    const std::string shown = "\"" + path.toStdString() + "\"";
    // Load takes a missing file for an empty one; importing a file that is not there is a mistake.
    if (!QFile::exists(path)) {
        throw EExchangeError("Cannot read " + shown + ": the file does not exist.");
    }
    platform::TIniFile ini;
    try {
        ini = platform::TIniFile::Load(path);
    } catch (const platform::EIniError& e) {
        throw EExchangeError(e.what());
    }
    if (ini.KeysOutsideSections() > 0) {
        throw EExchangeError("Cannot read " + shown +
                             ": it has keys before its first section, so it is not a "
                             "profile exchange file.");
    }

    // Each key name folded once for the whole file, not at every section's lookup.
    struct Key {
        std::string Profile::*member;
        QString folded;
    };
    std::vector<Key> textKeys;
    for (const apply::ProfileTextColumn& column : apply::kProfileTextColumns) {
        textKeys.push_back(
            {column.member, platform::TIniFile::FoldedName(QLatin1String(column.name))});
    }
    const QString iconKey = platform::TIniFile::FoldedName(QStringLiteral("Icon"));
    const QString scriptKey = platform::TIniFile::FoldedName(QStringLiteral("Script"));
    auto text = [](std::optional<QStringView> value) {
        if (!value) {
            return std::string();
        }
        // Nearly every value is ASCII: copied straight, without a UTF-8 array between.
        std::string ascii(static_cast<size_t>(value->size()), '\0');
        for (qsizetype i = 0; i < value->size(); ++i) {
            const char16_t u = (*value)[i].unicode();
            if (u >= 0x80) {
                const QByteArray utf8 = value->toUtf8();
                return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
            }
            ascii[static_cast<size_t>(i)] = static_cast<char>(u);
        }
        return ascii;
    };

    std::vector<Profile> list;
    const std::vector<platform::TIniFile::TSectionReader> sections = ini.SectionReaders();
    list.reserve(sections.size());
    const auto nameWidth = static_cast<size_t>(apply::ProfileColumnWidth("Name"));
    for (const platform::TIniFile::TSectionReader& section : sections) {
        Profile p;
        for (const Key& key : textKeys) {
            p.*key.member = text(section.Find(key.folded));
        }
        const std::string fileName = p.Name;
        // Cut before any lookup, or the stored (cut) name never matches the file's again.
        p.Name = apply::CutToWidth(p.Name, nameWidth);
        const std::optional<QStringView> icon = section.Find(iconKey);
        p.Icon = ParseIconValue(icon ? icon->toString() : QString());
        p.Script = ScriptFromExchange(text(section.Find(scriptKey)));
        try {
            CheckImported(p);
        } catch (const apply::RefusedValue& e) {
            if (skipped) {
                skipped->push_back({section.Name().toStdString(), fileName, e.what()});
            }
            continue;
        }
        list.push_back(std::move(p));
    }
    return list;
}

void MapConnections(std::vector<Profile>& profiles, const ConnectionMap& map) {
    for (Profile& p : profiles) {
        if (auto it = map.find(p.Interface); it != map.end()) {
            p.Interface = it->second;
        }
    }
}

std::vector<std::string> ConflictingNames(store::TStoreTable& profiles,
                                          const std::vector<Profile>& incoming) {
    std::vector<std::string> conflicts;
    std::unordered_set<std::string> seen;
    for (const Profile& p : incoming) {
        if (!seen.insert(p.Name).second || app::FindProfile(profiles, p.Name)) {
            conflicts.push_back(p.Name);
        }
    }
    return conflicts;
}

TImportSummary ImportProfiles(store::TStoreTable& profiles, const std::vector<Profile>& incoming,
                              const TConflictAnswer& answer, const TImportProgress& progress) {
    return Import(profiles, incoming, answer, true, progress);
}

TImportSummary ImportProfilesWithoutAsking(store::TStoreTable& profiles,
                                           const std::vector<Profile>& incoming,
                                           bool replaceExisting, const TImportProgress& progress) {
    return Import(
        profiles, incoming,
        [replaceExisting](const std::string&) -> std::optional<bool> { return replaceExisting; },
        false, progress);
}

}  // namespace quorv::settings
