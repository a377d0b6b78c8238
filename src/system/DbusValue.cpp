#include "system/DbusValue.h"

#include <systemd/sd-bus.h>

#include <bit>
#include <cstring>
#include <stdexcept>

namespace quorv::inventory {
namespace {

[[noreturn]] void Refused(int error) {
    throw std::runtime_error(std::string("a D-Bus value could not be handled: ") +
                             std::strerror(-error));
}

void Check(int result) {
    if (result < 0) {
        Refused(result);
    }
}

bool Basic(char code) {
    return std::strchr("ybnqiuxtdsogh", code) != nullptr && code != '\0';
}

}  // namespace

DbusValue DbusValue::String(std::string text) {
    DbusValue v("s", 0);
    v.text_ = std::move(text);
    return v;
}

DbusValue DbusValue::ObjectPath(std::string path) {
    DbusValue v("o", 0);
    v.text_ = std::move(path);
    return v;
}

DbusValue DbusValue::Bool(bool value) {
    return DbusValue("b", value ? 1 : 0);
}

DbusValue DbusValue::Uint32(std::uint32_t value) {
    return DbusValue("u", value);
}

DbusValue DbusValue::Int32(std::int32_t value) {
    return DbusValue("i", std::uint64_t(std::int64_t(value)));
}

DbusValue DbusValue::Int64(std::int64_t value) {
    return DbusValue("x", std::uint64_t(value));
}

DbusValue DbusValue::Uint64(std::uint64_t value) {
    return DbusValue("t", value);
}

DbusValue DbusValue::Array(std::string elementSignature, std::vector<DbusValue> items) {
    DbusValue v("a" + elementSignature, 0);
    v.items_ = std::move(items);
    return v;
}

DbusValue DbusValue::Struct(std::vector<DbusValue> fields) {
    std::string signature = "(";
    for (const auto& f : fields) {
        signature += f.signature_;
    }
    DbusValue v(signature + ")", 0);
    v.items_ = std::move(fields);
    return v;
}

DbusValue DbusValue::Variant(DbusValue inner) {
    DbusValue v("v", 0);
    v.items_.push_back(std::move(inner));
    return v;
}

DbusValue DbusValue::Dict(const std::string& valueSignature,
                          std::vector<std::pair<std::string, DbusValue>> entries) {
    std::string entrySignature = "{s" + valueSignature + "}";
    std::vector<DbusValue> items;
    items.reserve(entries.size());
    for (auto& [key, value] : entries) {
        DbusValue entry(entrySignature, 0);
        entry.items_.push_back(String(key));
        entry.items_.push_back(valueSignature == "v" ? Variant(std::move(value))
                                                     : std::move(value));
        items.push_back(std::move(entry));
    }
    return Array(entrySignature, std::move(items));
}

const DbusValue& DbusValue::Find(std::string_view key) const {
    static const DbusValue kNone;
    if (signature_.rfind("a{s", 0) != 0) {
        return kNone;
    }
    for (const auto& entry : items_) {
        if (entry.items_.size() == 2 && entry.items_[0].text_ == key) {
            const DbusValue& value = entry.items_[1];
            return value.Is("v") && value.items_.size() == 1 ? value.items_[0] : value;
        }
    }
    return kNone;
}

DbusValue DbusValue::ReadFrom(sd_bus_message* m) {
    char type = 0;
    const char* contents = nullptr;
    int r = sd_bus_message_peek_type(m, &type, &contents);
    Check(r);
    if (r == 0) {
        throw std::runtime_error("a D-Bus value was missing");
    }
    if (type == SD_BUS_TYPE_ARRAY || type == SD_BUS_TYPE_STRUCT || type == SD_BUS_TYPE_DICT_ENTRY ||
        type == SD_BUS_TYPE_VARIANT) {
        std::string inner = contents ? contents : "";
        DbusValue v;
        switch (type) {
            case SD_BUS_TYPE_ARRAY:
                v.signature_ = "a" + inner;
                break;
            case SD_BUS_TYPE_STRUCT:
                v.signature_ = "(" + inner + ")";
                break;
            case SD_BUS_TYPE_DICT_ENTRY:
                v.signature_ = "{" + inner + "}";
                break;
            default:
                v.signature_ = "v";
        }
        Check(sd_bus_message_enter_container(m, type, contents));
        while (true) {
            r = sd_bus_message_at_end(m, 0);
            Check(r);
            if (r > 0) {
                break;
            }
            v.items_.push_back(ReadFrom(m));
        }
        Check(sd_bus_message_exit_container(m));
        return v;
    }
    if (!Basic(type) || type == SD_BUS_TYPE_UNIX_FD) {
        Refused(-EBADMSG);
    }
    union {
        std::uint8_t y;
        int b;
        std::int16_t n;
        std::uint16_t q;
        std::int32_t i;
        std::uint32_t u;
        std::int64_t x;
        std::uint64_t t;
        double d;
        const char* s;
    } raw{};
    Check(sd_bus_message_read_basic(m, type, &raw));
    DbusValue v(std::string(1, type), 0);
    switch (type) {
        case 'y':
            v.bits_ = raw.y;
            break;
        case 'b':
            v.bits_ = raw.b ? 1 : 0;
            break;
        case 'n':
            v.bits_ = std::uint64_t(std::int64_t(raw.n));
            break;
        case 'q':
            v.bits_ = raw.q;
            break;
        case 'i':
            v.bits_ = std::uint64_t(std::int64_t(raw.i));
            break;
        case 'u':
            v.bits_ = raw.u;
            break;
        case 'x':
        case 't':
            v.bits_ = raw.t;
            break;
        case 'd':
            v.bits_ = std::bit_cast<std::uint64_t>(raw.d);
            break;
        default:  // s, o, g
            v.text_ = raw.s ? raw.s : "";
    }
    return v;
}

void DbusValue::AppendTo(sd_bus_message* m) const {
    if (signature_.empty()) {
        Refused(-EINVAL);
    }
    const char code = signature_[0];
    switch (code) {
        case 'a':
            Check(sd_bus_message_open_container(m, SD_BUS_TYPE_ARRAY, signature_.c_str() + 1));
            break;
        case '(':
        case '{': {
            std::string inner = signature_.substr(1, signature_.size() - 2);
            Check(sd_bus_message_open_container(
                m, code == '(' ? SD_BUS_TYPE_STRUCT : SD_BUS_TYPE_DICT_ENTRY, inner.c_str()));
            break;
        }
        case 'v':
            if (items_.size() != 1) {
                Refused(-EINVAL);
            }
            Check(sd_bus_message_open_container(m, SD_BUS_TYPE_VARIANT,
                                                items_[0].signature_.c_str()));
            break;
        default: {
            if (!Basic(code) || code == SD_BUS_TYPE_UNIX_FD) {
                Refused(-EINVAL);
            }
            std::uint8_t y = std::uint8_t(bits_);
            int b = bits_ != 0;
            std::uint16_t q = std::uint16_t(bits_);
            std::uint32_t u = std::uint32_t(bits_);
            double d = std::bit_cast<double>(bits_);
            const void* p = &bits_;
            switch (code) {
                case 'y':
                    p = &y;
                    break;
                case 'b':
                    p = &b;
                    break;
                case 'n':
                case 'q':
                    p = &q;
                    break;
                case 'i':
                case 'u':
                    p = &u;
                    break;
                case 'd':
                    p = &d;
                    break;
                case 's':
                case 'o':
                case 'g':
                    p = text_.c_str();
                    break;
                default:  // x, t
                    break;
            }
            Check(sd_bus_message_append_basic(m, code, p));
            return;
        }
    }
    for (const auto& item : items_) {
        item.AppendTo(m);
    }
    Check(sd_bus_message_close_container(m));
}

DbusArgs ReadBody(sd_bus_message* m) {
    DbusArgs out;
    while (true) {
        int r = sd_bus_message_peek_type(m, nullptr, nullptr);
        Check(r);
        if (r == 0) {
            return out;
        }
        out.push_back(DbusValue::ReadFrom(m));
    }
}

}  // namespace quorv::inventory
