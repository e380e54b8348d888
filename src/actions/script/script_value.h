#pragma once
// Types and values of the script language, shared by the compiler, the interpreter and the host
// that binds native routines. Values are plain data; any thread may hold them, one at a time.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace velinor::script {

enum class Kind { Void, Integer, Double, Boolean, String, Enum, Set, Array, Record, Object, Nil };

struct Type;
using TypePtr = std::shared_ptr<const Type>;

struct Field {
    std::string name;  // as declared
    std::string key;   // lower-cased, for lookups
    TypePtr type;
};

// One type. Integer covers every integer type of the dialect (Byte … Int64, TColor); String covers
// the string types and Char. Sets are bit masks over an enumeration of at most 64 members.
struct Type {
    Kind kind = Kind::Void;
    std::string name;
    std::vector<std::string> enumNames;  // Enum
    TypePtr element;                     // Set (the enumeration), Array (the items)
    bool isStatic = false;               // Array: fixed bounds low..high, else dynamic or open
    int64_t low = 0, high = -1;
    std::vector<Field> fields;           // Record, Object
    std::shared_ptr<const Type> parent;  // Object: the class it derives from

    int fieldIndex(std::string_view key) const;
    bool isOrdinal() const { return kind == Kind::Integer || kind == Kind::Boolean || kind == Kind::Enum; }
    bool derivesFrom(const Type& other) const;
};

struct Aggregate;
struct Object;

// Integers, enumerations and sets are held as int64_t; arrays and records as an Aggregate that
// assignment copies (value semantics); objects by shared reference, an empty pointer being nil.
struct Value {
    std::variant<std::monostate, int64_t, double, bool, std::string, std::shared_ptr<Aggregate>,
                 std::shared_ptr<Object>>
        data;

    Value() = default;
    static Value integer(int64_t v) {
        Value r;
        r.data = v;
        return r;
    }
    static Value real(double v) {
        Value r;
        r.data = v;
        return r;
    }
    static Value boolean(bool v) {
        Value r;
        r.data = v;
        return r;
    }
    static Value string(std::string v) {
        Value r;
        r.data = std::move(v);
        return r;
    }
    static Value object(std::shared_ptr<Object> v) {
        Value r;
        r.data = std::move(v);
        return r;
    }

    int64_t asInteger() const;
    double asDouble() const;  // integers widen
    bool asBoolean() const;
    const std::string& asString() const;
    Aggregate* asAggregate() const;
    const std::shared_ptr<Object>& asObject() const;
};

struct Aggregate {
    std::vector<Value> items;  // array items in order, or record fields in declaration order
};

// An instance of a host class such as TFont: its fields by declaration order.
struct Object {
    TypePtr type;
    std::vector<Value> fields;

    // The field by name (case-insensitive); nullptr when the class has none of that name.
    Value* field(std::string_view name);
    const Value* field(std::string_view name) const;
};

Value defaultValue(const Type& type);
// The copy that assignment makes: arrays and records are copied, objects are shared.
Value copyValue(const Value& value);
std::string lowerAscii(std::string_view text);
std::string typeName(const Type& type);

// Built-in scalar types, shared by every compilation.
const TypePtr& integerType();
const TypePtr& doubleType();
const TypePtr& booleanType();
const TypePtr& stringType();
const TypePtr& voidType();
const TypePtr& nilType();

}  // namespace velinor::script
