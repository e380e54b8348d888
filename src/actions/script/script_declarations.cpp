#include "actions/script/script_declarations.h"

namespace velinor::script {

void ScriptDeclarations::addType(std::string name, std::string definition) {
    entries_.push_back({Entry::What::Type, types_.size()});
    types_.push_back({std::move(name), std::move(definition)});
}

void ScriptDeclarations::addClass(std::string name, std::string fields, std::string parent) {
    entries_.push_back({Entry::What::Class, classes_.size()});
    classes_.push_back({std::move(name), std::move(fields), std::move(parent)});
}

void ScriptDeclarations::addConstant(std::string name, std::string typeName, Value value) {
    entries_.push_back({Entry::What::Constant, constants_.size()});
    constants_.push_back({std::move(name), std::move(typeName), std::move(value)});
}

void ScriptDeclarations::addRoutine(std::string declaration, NativeRoutine routine) {
    entries_.push_back({Entry::What::Routine, routines_.size()});
    routines_.push_back({std::move(declaration), std::move(routine)});
}

void ScriptDeclarations::append(const ScriptDeclarations& other) {
    for (const auto& e : other.entries_) {
        switch (e.what) {
            case Entry::What::Type:
                addType(other.types_[e.index].name, other.types_[e.index].definition);
                break;
            case Entry::What::Class: {
                const auto& c = other.classes_[e.index];
                addClass(c.name, c.fields, c.parent);
                break;
            }
            case Entry::What::Constant: {
                const auto& c = other.constants_[e.index];
                addConstant(c.name, c.typeName, c.value);
                break;
            }
            case Entry::What::Routine:
                addRoutine(other.routines_[e.index].declaration, other.routines_[e.index].routine);
                break;
        }
    }
}

void ScriptDeclarations::clear() {
    entries_.clear();
    types_.clear();
    classes_.clear();
    constants_.clear();
    routines_.clear();
}

}  // namespace velinor::script
