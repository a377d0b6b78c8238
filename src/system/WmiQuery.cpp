#include "system/WmiQuery.h"

#include <unistd.h>

#include "system/Wql.h"

namespace quorv::inventory {
namespace {

bool IsLocalServer(const QString& server) {
    if (server.isEmpty() || server == QLatin1String(".") ||
        server.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) {
        return true;
    }
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    return server.compare(QString::fromUtf8(host), Qt::CaseInsensitive) == 0;
}

bool IsCimV2(const QString& nameSpace) {
    QString normal = nameSpace;
    normal.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return normal.compare(QLatin1String("root\\CIMV2"), Qt::CaseInsensitive) == 0;
}

// Keeps the selected properties in the provider's order; nothing when one is unknown.
std::optional<QStringList> Project(const WmiClass& cls, const WqlQuery& query) {
    if (query.allProperties) {
        return cls.properties;
    }
    for (const QString& wanted : query.properties) {
        if (!cls.properties.contains(wanted, Qt::CaseInsensitive)) {
            return std::nullopt;
        }
    }
    QStringList out;
    for (const QString& name : cls.properties) {
        if (query.properties.contains(name, Qt::CaseInsensitive)) {
            out << name;
        }
    }
    return out;
}

}  // namespace

int RunWmiQuery(const QString& server, const QString& nameSpace, const QString& user,
                const QString& password, const QString& query, QueryTable& table,
                int& instanceCount) {
    return RunWmiQuery(SystemWmiSource(), server, nameSpace, user, password, query, table,
                       instanceCount);
}

int RunWmiQuery(const WmiSource& source, const QString& server, const QString& nameSpace,
                const QString& user, const QString& password, const QString& query,
                QueryTable& table, int& instanceCount) {
    instanceCount = 0;
    table.clear();
    // WMI refuses credentials on local connections and has nothing but the local machine here.
    if (!IsLocalServer(server) || !IsCimV2(nameSpace) || !user.isEmpty() || !password.isEmpty()) {
        return -1;
    }

    WqlQuery wql;
    if (query.startsWith(QLatin1String("SELECT"))) {
        auto parsed = ParseWql(query);
        if (!parsed) {
            return -1;
        }
        wql = *parsed;
    } else {
        wql.allProperties = true;
        wql.className = query;
    }
    auto cls = source.Instances(wql.className);
    if (!cls) {
        return -1;
    }
    auto columns = Project(*cls, wql);
    if (!columns) {
        return -1;
    }

    QList<WmiObject> selected;
    for (const WmiObject& object : cls->objects) {
        bool keep = true;
        for (const WqlCondition& cond : wql.conditions) {
            auto match = Matches(cond, object);
            if (!match) {
                return -1;
            }
            keep = keep && *match;
        }
        if (!keep) {
            continue;
        }
        WmiObject projected;
        for (const auto& property : object) {
            if (columns->contains(property.first)) {
                projected.append(property);
            }
        }
        selected.append(projected);
    }

    instanceCount = int(selected.size());
    if (instanceCount == 0) {
        return 0;
    }
    int n = 0;
    for (int r = 1; r <= instanceCount; ++r) {
        const WmiObject& object = selected[r - 1];
        n = int(object.size());
        if (r == 1) {
            table = QueryTable(instanceCount + 1, QStringList(n + 1));
            table[0][0] = QStringLiteral("Instance");
        }
        table[r][0] = QString::number(r);
        for (int c = 1; c <= n && c < table[r].size(); ++c) {
            if (r == 1) {
                table[0][c] = object[c - 1].first;
            }
            table[r][c] = CimValueToText(object[c - 1].second);
        }
    }
    return n;
}

int FindWmiColumn(const QueryTable& table, const QString& name) {
    if (table.isEmpty()) {
        return 0;
    }
    const QStringList& header = table.front();
    for (int c = 1; c < header.size(); ++c) {
        if (header[c] == name) {
            return c;
        }
    }
    return 0;
}

}  // namespace quorv::inventory
