#include "system/DbusWire.h"

#include <cstring>
#include <stdexcept>
#include <vector>

namespace quorv::inventory {
namespace {

constexpr std::size_t kMaxMessage = 128 * 1024 * 1024;  // as the reference daemon allows
constexpr int kMaxDepth = 64;

[[noreturn]] void Damaged() {
    throw std::runtime_error("the system bus sent a damaged message");
}

std::size_t AlignmentOf(char code) {
    switch (code) {
        case 'n':
        case 'q':
            return 2;
        case 'b':
        case 'i':
        case 'u':
        case 's':
        case 'o':
        case 'a':
        case 'h':
            return 4;
        case 'x':
        case 't':
        case 'd':
        case '(':
        case '{':
            return 8;
        default:
            return 1;
    }
}

class Writer {
  public:
    std::string out;

    void Align(std::size_t n) { out.resize((out.size() + n - 1) / n * n, '\0'); }
    template <typename T>
    void Put(T value) {
        Align(sizeof(T));
        out.append(reinterpret_cast<const char*>(&value), sizeof(T));
    }
    void PutString(const char* text, std::size_t length) {
        Put(guint32(length));
        out.append(text, length);
        out += '\0';
    }
    void PutSignature(const char* text) {
        std::size_t length = std::strlen(text);
        out += char(length);
        out.append(text, length);
        out += '\0';
    }

    void Value(GVariant* v) {
        switch (g_variant_classify(v)) {
            case G_VARIANT_CLASS_BOOLEAN:
                Put(guint32(g_variant_get_boolean(v) ? 1 : 0));
                break;
            case G_VARIANT_CLASS_BYTE:
                out += char(g_variant_get_byte(v));
                break;
            case G_VARIANT_CLASS_INT16:
                Put(g_variant_get_int16(v));
                break;
            case G_VARIANT_CLASS_UINT16:
                Put(g_variant_get_uint16(v));
                break;
            case G_VARIANT_CLASS_INT32:
                Put(g_variant_get_int32(v));
                break;
            case G_VARIANT_CLASS_UINT32:
                Put(g_variant_get_uint32(v));
                break;
            case G_VARIANT_CLASS_HANDLE:
                Put(g_variant_get_handle(v));
                break;
            case G_VARIANT_CLASS_INT64:
                Put(g_variant_get_int64(v));
                break;
            case G_VARIANT_CLASS_UINT64:
                Put(g_variant_get_uint64(v));
                break;
            case G_VARIANT_CLASS_DOUBLE:
                Put(g_variant_get_double(v));
                break;
            case G_VARIANT_CLASS_STRING:
            case G_VARIANT_CLASS_OBJECT_PATH: {
                gsize length = 0;
                const char* text = g_variant_get_string(v, &length);
                PutString(text, length);
                break;
            }
            case G_VARIANT_CLASS_SIGNATURE:
                PutSignature(g_variant_get_string(v, nullptr));
                break;
            case G_VARIANT_CLASS_VARIANT: {
                GVariant* inner = g_variant_get_variant(v);
                PutSignature(g_variant_get_type_string(inner));
                Value(inner);
                g_variant_unref(inner);
                break;
            }
            case G_VARIANT_CLASS_ARRAY: {
                Put(guint32(0));
                std::size_t lengthAt = out.size() - 4;
                Align(AlignmentOf(g_variant_get_type_string(v)[1]));
                std::size_t start = out.size();
                for (gsize i = 0, n = g_variant_n_children(v); i < n; ++i) {
                    GVariant* child = g_variant_get_child_value(v, i);
                    Value(child);
                    g_variant_unref(child);
                }
                guint32 length = guint32(out.size() - start);
                std::memcpy(&out[lengthAt], &length, 4);
                break;
            }
            case G_VARIANT_CLASS_TUPLE:
            case G_VARIANT_CLASS_DICT_ENTRY:
                Align(8);
                for (gsize i = 0, n = g_variant_n_children(v); i < n; ++i) {
                    GVariant* child = g_variant_get_child_value(v, i);
                    Value(child);
                    g_variant_unref(child);
                }
                break;
            case G_VARIANT_CLASS_MAYBE:
                throw std::runtime_error("a maybe type cannot go over the bus");
        }
    }
};

class Reader {
  public:
    Reader(const char* data, std::size_t size, bool swap) : data_(data), size_(size), swap_(swap) {}

    std::size_t Pos() const { return pos_; }
    void Align(std::size_t n) {
        std::size_t to = (pos_ + n - 1) / n * n;
        Need(to - pos_);
        for (; pos_ < to; ++pos_) {
            if (data_[pos_] != 0) {
                Damaged();
            }
        }
    }
    template <typename T>
    T Get() {
        Align(sizeof(T));
        Need(sizeof(T));
        unsigned char bytes[sizeof(T)];
        std::memcpy(bytes, data_ + pos_, sizeof(T));
        if (swap_) {
            for (std::size_t i = 0; i < sizeof(T) / 2; ++i) {
                std::swap(bytes[i], bytes[sizeof(T) - 1 - i]);
            }
        }
        pos_ += sizeof(T);
        T value;
        std::memcpy(&value, bytes, sizeof(T));
        return value;
    }
    std::string String(std::size_t length) {
        Need(length + 1);
        if (data_[pos_ + length] != '\0') {
            Damaged();
        }
        std::string text(data_ + pos_, length);
        pos_ += length + 1;
        return text;
    }
    std::string Signature() {
        Need(1);
        return String(std::size_t((unsigned char)data_[pos_++]));
    }

    // A floating value of the given type.
    GVariant* Value(const GVariantType* type, int depth = 0) {
        if (depth > kMaxDepth) {
            Damaged();
        }
        const char code = g_variant_type_peek_string(type)[0];
        switch (code) {
            case 'b': {
                guint32 v = Get<guint32>();
                if (v > 1) {
                    Damaged();
                }
                return g_variant_new_boolean(v);
            }
            case 'y':
                Need(1);
                return g_variant_new_byte(guchar(data_[pos_++]));
            case 'n':
                return g_variant_new_int16(Get<gint16>());
            case 'q':
                return g_variant_new_uint16(Get<guint16>());
            case 'i':
                return g_variant_new_int32(Get<gint32>());
            case 'u':
                return g_variant_new_uint32(Get<guint32>());
            case 'h':
                return g_variant_new_handle(Get<gint32>());
            case 'x':
                return g_variant_new_int64(Get<gint64>());
            case 't':
                return g_variant_new_uint64(Get<guint64>());
            case 'd':
                return g_variant_new_double(Get<double>());
            case 's':
            case 'o': {
                std::string text = String(Get<guint32>());
                if (code == 's' ? !g_utf8_validate(text.data(), gssize(text.size()), nullptr)
                                : !g_variant_is_object_path(text.c_str())) {
                    Damaged();
                }
                return code == 's' ? g_variant_new_string(text.c_str())
                                   : g_variant_new_object_path(text.c_str());
            }
            case 'g': {
                std::string text = Signature();
                if (!g_variant_is_signature(text.c_str())) {
                    Damaged();
                }
                return g_variant_new_signature(text.c_str());
            }
            case 'v': {
                std::string signature = Signature();
                if (!g_variant_type_string_is_valid(signature.c_str())) {
                    Damaged();
                }
                GVariantType* inner = g_variant_type_new(signature.c_str());
                if (!g_variant_type_is_definite(inner)) {
                    g_variant_type_free(inner);
                    Damaged();
                }
                GVariant* value = nullptr;
                try {
                    value = Value(inner, depth + 1);
                } catch (...) {
                    g_variant_type_free(inner);
                    throw;
                }
                g_variant_type_free(inner);
                return g_variant_new_variant(value);
            }
            case 'a': {
                guint32 length = Get<guint32>();
                const GVariantType* element = g_variant_type_element(type);
                Align(AlignmentOf(g_variant_type_peek_string(element)[0]));
                Need(length);
                std::size_t end = pos_ + length;
                std::vector<GVariant*> children;
                try {
                    while (pos_ < end) {
                        children.push_back(g_variant_ref_sink(Value(element, depth + 1)));
                    }
                } catch (...) {
                    for (GVariant* c : children) {
                        g_variant_unref(c);
                    }
                    throw;
                }
                GVariant* array =
                    pos_ == end ? g_variant_new_array(element, children.data(), children.size())
                                : nullptr;
                for (GVariant* c : children) {
                    g_variant_unref(c);
                }
                if (!array) {
                    Damaged();
                }
                return array;
            }
            case '(':
            case '{': {
                Align(8);
                std::vector<GVariant*> children;
                try {
                    for (const GVariantType* t = g_variant_type_first(type); t;
                         t = g_variant_type_next(t)) {
                        children.push_back(g_variant_ref_sink(Value(t, depth + 1)));
                    }
                } catch (...) {
                    for (GVariant* c : children) {
                        g_variant_unref(c);
                    }
                    throw;
                }
                GVariant* value = code == '('
                                      ? g_variant_new_tuple(children.data(), children.size())
                                      : g_variant_new_dict_entry(children[0], children[1]);
                for (GVariant* c : children) {
                    g_variant_unref(c);
                }
                return value;
            }
            default:
                Damaged();
        }
    }

  private:
    void Need(std::size_t n) const {
        if (n > size_ - pos_) {
            Damaged();
        }
    }
    const char* data_;
    std::size_t size_;
    bool swap_;
    std::size_t pos_ = 0;
};

GVariant* Field(guint8 code, GVariant* value) {
    return g_variant_new("(yv)", code, value);
}

}  // namespace

std::string Marshal(const DbusMessage& m) {
    GVariantBuilder fields;
    g_variant_builder_init(&fields, G_VARIANT_TYPE("a(yv)"));
    if (!m.path.empty()) {
        g_variant_builder_add_value(&fields, Field(1, g_variant_new_object_path(m.path.c_str())));
    }
    if (!m.interface.empty()) {
        g_variant_builder_add_value(&fields, Field(2, g_variant_new_string(m.interface.c_str())));
    }
    if (!m.member.empty()) {
        g_variant_builder_add_value(&fields, Field(3, g_variant_new_string(m.member.c_str())));
    }
    if (!m.errorName.empty()) {
        g_variant_builder_add_value(&fields, Field(4, g_variant_new_string(m.errorName.c_str())));
    }
    if (m.replySerial) {
        g_variant_builder_add_value(&fields, Field(5, g_variant_new_uint32(m.replySerial)));
    }
    if (!m.destination.empty()) {
        g_variant_builder_add_value(&fields, Field(6, g_variant_new_string(m.destination.c_str())));
    }
    std::string signature;
    if (m.body) {
        std::string tuple = g_variant_get_type_string(m.body.get());
        signature = tuple.substr(1, tuple.size() - 2);
        if (!signature.empty()) {
            g_variant_builder_add_value(&fields,
                                        Field(8, g_variant_new_signature(signature.c_str())));
        }
    }
    Writer body;
    if (m.body && !signature.empty()) {
        for (gsize i = 0, n = g_variant_n_children(m.body.get()); i < n; ++i) {
            GVariant* child = g_variant_get_child_value(m.body.get(), i);
            body.Value(child);
            g_variant_unref(child);
        }
    }
    Writer w;
    w.out += 'l';
    w.out += char(m.type);
    w.out += char(m.flags);
    w.out += char(1);
    w.Put(guint32(body.out.size()));
    w.Put(m.serial);
    GVariant* array = g_variant_ref_sink(g_variant_builder_end(&fields));
    w.Value(array);
    g_variant_unref(array);
    w.Align(8);
    return w.out + body.out;
}

std::size_t MessageSize(const char* h) {
    if ((h[0] != 'l' && h[0] != 'B') || h[3] != 1) {
        return 0;
    }
    Reader r(h, 16, h[0] == 'B');
    r.Get<guint32>();  // the first four bytes
    guint32 bodyLength = r.Get<guint32>();
    r.Get<guint32>();
    guint32 fieldsLength = r.Get<guint32>();
    std::size_t size = (16 + std::size_t(fieldsLength) + 7) / 8 * 8 + bodyLength;
    return size > kMaxMessage ? 0 : size;
}

DbusMessage Unmarshal(const char* data, std::size_t size) {
    if (size < 16 || MessageSize(data) != size) {
        Damaged();
    }
    Reader r(data, size, data[0] == 'B');
    DbusMessage m;
    r.Get<guint8>();
    m.type = r.Get<guint8>();
    m.flags = r.Get<guint8>();
    r.Get<guint8>();
    guint32 bodyLength = r.Get<guint32>();
    m.serial = r.Get<guint32>();
    Variant fields(g_variant_ref_sink(r.Value(G_VARIANT_TYPE("a(yv)"))));
    std::string signature;
    GVariantIter iter;
    g_variant_iter_init(&iter, fields.get());
    guint8 code = 0;
    GVariant* value = nullptr;
    while (g_variant_iter_next(&iter, "(yv)", &code, &value)) {
        Variant owned(value);
        auto text = [&](std::string& into) {
            if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING) ||
                g_variant_is_of_type(value, G_VARIANT_TYPE_OBJECT_PATH) ||
                g_variant_is_of_type(value, G_VARIANT_TYPE_SIGNATURE)) {
                into = g_variant_get_string(value, nullptr);
            }
        };
        switch (code) {
            case 1:
                text(m.path);
                break;
            case 2:
                text(m.interface);
                break;
            case 3:
                text(m.member);
                break;
            case 4:
                text(m.errorName);
                break;
            case 5:
                if (g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32)) {
                    m.replySerial = g_variant_get_uint32(value);
                }
                break;
            case 6:
                text(m.destination);
                break;
            case 8:
                text(signature);
                break;
            default:
                break;
        }
    }
    r.Align(8);
    if (size - r.Pos() != bodyLength) {
        Damaged();
    }
    std::string tuple = "(" + signature + ")";
    if (!g_variant_type_string_is_valid(tuple.c_str())) {
        Damaged();
    }
    GVariantType* type = g_variant_type_new(tuple.c_str());
    try {
        m.body.reset(g_variant_ref_sink(r.Value(type)));
    } catch (...) {
        g_variant_type_free(type);
        throw;
    }
    g_variant_type_free(type);
    if (r.Pos() != size) {
        Damaged();
    }
    return m;
}

}  // namespace quorv::inventory
