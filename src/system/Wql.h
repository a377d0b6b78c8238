#pragma once

#include <optional>

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "system/CimValue.h"

namespace quorv::inventory {

// The subset of WQL the inventory answers:
//   SELECT * | prop, ... FROM class [WHERE cond [AND cond]...]
//   cond: prop op literal | prop IS [NOT] NULL, op one of = <> != < > <= >=
// Keywords, class and property names ignore case, as WMI does.
struct WqlCondition {
    QString property;
    QString op;  // "=", "<>", "<", ">", "<=", ">=", "IS NULL", "IS NOT NULL"
    QVariant literal;
};

struct WqlQuery {
    bool allProperties = false;
    QStringList properties;
    QString className;
    QList<WqlCondition> conditions;
};

std::optional<WqlQuery> ParseWql(const QString& text);

// Nothing when the condition names a property the object lacks.
std::optional<bool> Matches(const WqlCondition& condition, const WmiObject& object);

}  // namespace quorv::inventory
