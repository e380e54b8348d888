#include "actions/script/script_value.h"

#include <stdexcept>

namespace velinor::script {

int Type::fieldIndex(std::string_view key) const {
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i].key == key) return static_cast<int>(i);
    return -1;
}

bool Type::derivesFrom(const Type& other) const {
    for (const Type* t = this; t; t = t->parent.get())
        if (t == &other) return true;
    return false;
}

int64_t Value::asInteger() const {
    if (auto p = std::get_if<int64_t>(&data)) return *p;
    if (auto b = std::get_if<bool>(&data)) return *b ? 1 : 0;
    return 0;
}

double Value::asDouble() const {
    if (auto p = std::get_if<double>(&data)) return *p;
    if (auto i = std::get_if<int64_t>(&data)) return static_cast<double>(*i);
    return 0.0;
}

bool Value::asBoolean() const {
    if (auto p = std::get_if<bool>(&data)) return *p;
    if (auto i = std::get_if<int64_t>(&data)) return *i != 0;
    return false;
}

const std::string& Value::asString() const {
    static const std::string empty;
    if (auto p = std::get_if<std::string>(&data)) return *p;
    return empty;
}

Aggregate* Value::asAggregate() const {
    if (auto p = std::get_if<std::shared_ptr<Aggregate>>(&data)) return p->get();
    return nullptr;
}

const std::shared_ptr<Object>& Value::asObject() const {
    static const std::shared_ptr<Object> none;
    if (auto p = std::get_if<std::shared_ptr<Object>>(&data)) return *p;
    return none;
}

Value* Object::field(std::string_view name) {
    const int i = type ? type->fieldIndex(lowerAscii(name)) : -1;
    return i < 0 || static_cast<size_t>(i) >= fields.size() ? nullptr : &fields[static_cast<size_t>(i)];
}

const Value* Object::field(std::string_view name) const {
    return const_cast<Object*>(this)->field(name);
}

Value defaultValue(const Type& type) {
    switch (type.kind) {
        case Kind::Integer:
        case Kind::Enum:
        case Kind::Set:
            return Value::integer(0);
        case Kind::Double:
            return Value::real(0.0);
        case Kind::Boolean:
            return Value::boolean(false);
        case Kind::String:
            return Value::string({});
        case Kind::Array: {
            auto agg = std::make_shared<Aggregate>();
            if (type.isStatic)
                for (int64_t i = type.low; i <= type.high; ++i)
                    agg->items.push_back(defaultValue(*type.element));
            Value v;
            v.data = std::move(agg);
            return v;
        }
        case Kind::Record: {
            auto agg = std::make_shared<Aggregate>();
            for (const auto& f : type.fields) agg->items.push_back(defaultValue(*f.type));
            Value v;
            v.data = std::move(agg);
            return v;
        }
        case Kind::Void:
        case Kind::Object:
        case Kind::Nil:
            break;
    }
    return {};
}

Value copyValue(const Value& value) {
    if (auto p = std::get_if<std::shared_ptr<Aggregate>>(&value.data)) {
        auto agg = std::make_shared<Aggregate>();
        if (*p) {
            agg->items.reserve((*p)->items.size());
            for (const auto& item : (*p)->items) agg->items.push_back(copyValue(item));
        }
        Value v;
        v.data = std::move(agg);
        return v;
    }
    return value;
}

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (auto& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string typeName(const Type& type) {
    if (!type.name.empty()) return type.name;
    switch (type.kind) {
        case Kind::Array:
            return "array of " + (type.element ? typeName(*type.element) : std::string("?"));
        case Kind::Set:
            return "set of " + (type.element ? typeName(*type.element) : std::string("?"));
        case Kind::Record:
            return "record";
        case Kind::Enum:
            return "enumeration";
        case Kind::Nil:
            return "nil";
        default:
            return "?";
    }
}

namespace {
TypePtr makeScalar(Kind kind, const char* name) {
    auto t = std::make_shared<Type>();
    t->kind = kind;
    t->name = name;
    return t;
}
}  // namespace

const TypePtr& integerType() {
    static const TypePtr t = makeScalar(Kind::Integer, "Integer");
    return t;
}
const TypePtr& doubleType() {
    static const TypePtr t = makeScalar(Kind::Double, "Double");
    return t;
}
const TypePtr& booleanType() {
    static const TypePtr t = makeScalar(Kind::Boolean, "Boolean");
    return t;
}
const TypePtr& stringType() {
    static const TypePtr t = makeScalar(Kind::String, "String");
    return t;
}
const TypePtr& voidType() {
    static const TypePtr t = makeScalar(Kind::Void, "procedure");
    return t;
}
const TypePtr& nilType() {
    static const TypePtr t = makeScalar(Kind::Nil, "nil");
    return t;
}

}  // namespace velinor::script
