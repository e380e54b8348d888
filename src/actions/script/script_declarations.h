#pragma once
// The declarations a host makes visible to scripts before they compile: native routines, constants,
// types and classes. Built on the UI thread; a compilation reads it and keeps what it needs.
#include <functional>
#include <string>
#include <vector>

#include "actions/script/script_value.h"

namespace velinor::script {

// The arguments of a native call, converted to the declared parameter types. A var parameter's
// slot may be changed by the routine; the interpreter writes it back to the caller's variable.
// The result is ignored for procedures. Throwing std::exception fails the run at the call with
// the exception's text.
using NativeRoutine = std::function<Value(std::vector<Value>& args)>;

class ScriptDeclarations {
public:
    struct TypeDecl {
        std::string name;
        std::string
            definition;  // in the script's own syntax: "(a, b)", "record X, Y: Integer; end", "Integer"
    };
    struct ClassDecl {
        std::string name;
        std::string fields;  // "Name: widestring; Size: Integer"
        std::string parent;  // empty, or a class declared before
    };
    struct ConstDecl {
        std::string name;
        std::string typeName;
        Value value;
    };
    struct RoutineDecl {
        std::string declaration;  // "procedure Name(const a: Integer);" or "function f(x: Double): Boolean;"
        NativeRoutine routine;
    };

    // Every declaration is checked when a script compiles; a faulty one is reported there with
    // its text, so a host mistake never goes unnoticed.
    void addType(std::string name, std::string definition);
    // Scripts create instances with Name.Create and release them with .Free; fields of class type
    // are created with their owner.
    void addClass(std::string name, std::string fields, std::string parent = {});
    void addConstant(std::string name, std::string typeName, Value value);
    void addRoutine(std::string declaration, NativeRoutine routine);
    // Adds every declaration of `other` after the ones already here.
    void append(const ScriptDeclarations& other);
    void clear();

    // Declarations in the order they were added: types and classes first, so constants and
    // routines can name them.
    struct Entry {
        enum class What { Type, Class, Constant, Routine } what;
        size_t index;
    };
    const std::vector<Entry>& entries() const { return entries_; }
    const std::vector<TypeDecl>& types() const { return types_; }
    const std::vector<ClassDecl>& classes() const { return classes_; }
    const std::vector<ConstDecl>& constants() const { return constants_; }
    const std::vector<RoutineDecl>& routines() const { return routines_; }

private:
    std::vector<Entry> entries_;
    std::vector<TypeDecl> types_;
    std::vector<ClassDecl> classes_;
    std::vector<ConstDecl> constants_;
    std::vector<RoutineDecl> routines_;
};

}  // namespace velinor::script
