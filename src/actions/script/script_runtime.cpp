// Tree-walking interpreter for compiled scripts, and the engine facade around compiler and interpreter.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <unordered_map>

#include "actions/script/script_engine.h"
#include "actions/script/script_internal.h"
#include "platform/utf16.h"

namespace velinor::script {

namespace {

constexpr size_t kMaxItems = 16'000'000;  // array length and string length, in items or bytes
constexpr uint32_t kPollInterval = 4096;  // steps between two calls of the host's poll hook

enum class Flow { Normal, Break, Continue, Exit };

int64_t wrapAdd(int64_t a, int64_t b) {
    return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
}
int64_t wrapSub(int64_t a, int64_t b) {
    return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b));
}
int64_t wrapMul(int64_t a, int64_t b) {
    return static_cast<int64_t>(static_cast<uint64_t>(a) * static_cast<uint64_t>(b));
}

std::string trimText(const std::string& s, bool left, bool right) {
    size_t b = 0, e = s.size();
    if (left)
        while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    if (right)
        while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

bool parseInteger(const std::string& text, int64_t& out) {
    const std::string t = trimText(text, true, true);
    if (t.empty()) return false;
    size_t i = 0;
    bool neg = false;
    if (t[i] == '+' || t[i] == '-') neg = t[i++] == '-';
    int base = 10;
    if (i < t.size() && t[i] == '$') {
        base = 16;
        ++i;
    }
    if (i >= t.size()) return false;
    uint64_t v = 0;
    for (; i < t.size(); ++i) {
        const char c = t[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        if (v > (static_cast<uint64_t>(INT64_MAX) + 1) / static_cast<uint64_t>(base)) return false;
        v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    }
    if (v > static_cast<uint64_t>(INT64_MAX) + (neg ? 1 : 0)) return false;
    out = neg ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
    return true;
}

// Reads "1.5" and "1,5" alike, whatever the process locale is (a desktop front sets the user's).
bool parseDouble(const std::string& text, double& out) {
    std::string t = trimText(text, true, true);
    for (auto& c : t)
        if (c == ',') c = '.';
    const char* b = t.data();
    if (!t.empty() && t[0] == '+') ++b;
    const char* e = t.data() + t.size();
    auto r = std::from_chars(b, e, out);
    return b != e && r.ec == std::errc() && r.ptr == e;
}

class Interpreter {
public:
    Interpreter(const Program* program, std::vector<Value>* globals, std::atomic<bool>* stop,
                const std::function<void()>* poll)
        : prog_(program), globals_(globals), stop_(stop), poll_(poll) {}

    void runMain() {
        for (const auto& [slot, init] : prog_->globalInits)
            (*globals_)[static_cast<size_t>(slot)] = copyValue(eval(*init));
        exec(*prog_->main);
    }

    Value eval(const Expr& e);

private:
    struct Frame {
        std::vector<Value> locals;
        std::vector<Value*> refs;
    };

    [[noreturn]] static void fail(const Expr& e, const std::string& text) {
        throw RuntimeError(e.line, e.column, text);
    }
    [[noreturn]] static void fail(const Stmt& s, const std::string& text) {
        throw RuntimeError(s.line, s.column, text);
    }

    template <typename At>
    void tick(const At& at) {
        if (stop_ && stop_->load(std::memory_order_relaxed)) fail(at, "Exécution interrompue");
        if (++ticks_ % kPollInterval == 0 && poll_ && *poll_) (*poll_)();
    }

    Value* ref(const Expr& e);
    Flow exec(const Stmt& s);
    Value callScript(const Expr& e);
    Value callNative(const Expr& e);
    Value builtin(const Expr& e);
    Value binary(const Expr& e);
    Value unary(const Expr& e);
    void assign(const Stmt& s);
    int64_t checkedIndex(const Expr& e, int64_t index, const Type& arrayType, size_t size);

    const Program* prog_;
    std::vector<Value>* globals_;
    std::atomic<bool>* stop_;
    const std::function<void()>* poll_;
    Frame* frame_ = nullptr;
    // Objects reached through a temporary while a statement runs, so pointers into their
    // fields stay valid until the statement ends.
    std::vector<std::shared_ptr<Object>> holds_;
    int depth_ = 0;
    uint32_t ticks_ = 0;
};

// Whether the expression designates storage (a variable, or a part of one or of an object).
bool rooted(const Expr& e) {
    switch (e.op) {
        case Expr::Op::Var:
            return true;
        case Expr::Op::Field:
            return e.args[0]->type->kind == Kind::Object || rooted(*e.args[0]);
        case Expr::Op::Index:
            return rooted(*e.args[0]);
        default:
            return false;
    }
}

int64_t Interpreter::checkedIndex(const Expr& e, int64_t index, const Type& arrayType, size_t size) {
    const int64_t base = arrayType.isStatic ? arrayType.low : 0;
    const int64_t i = wrapSub(index, base);
    if (i < 0 || static_cast<uint64_t>(i) >= size)
        fail(e, "Indice hors limites (" + std::to_string(index) + ")");
    return i;
}

Value* Interpreter::ref(const Expr& e) {
    switch (e.op) {
        case Expr::Op::Var:
            switch (e.storage) {
                case Storage::Global:
                    return &(*globals_)[static_cast<size_t>(e.slot)];
                case Storage::Local:
                    return &frame_->locals[static_cast<size_t>(e.slot)];
                case Storage::Ref:
                    return frame_->refs[static_cast<size_t>(e.slot)];
            }
            break;
        case Expr::Op::Field: {
            const Expr& base = *e.args[0];
            if (base.type->kind == Kind::Object) {
                // The object outlives this access: it is held by a variable or by the expression's owner.
                holds_.push_back(eval(base).asObject());
                if (!holds_.back()) fail(e, "Objet non créé (nil)");
                return &holds_.back()->fields[static_cast<size_t>(e.slot)];
            }
            Aggregate* agg = ref(base)->asAggregate();
            return &agg->items[static_cast<size_t>(e.slot)];
        }
        case Expr::Op::Index: {
            const Expr& base = *e.args[0];
            const int64_t index = eval(*e.args[1]).asInteger();
            Aggregate* agg = ref(base)->asAggregate();
            const int64_t i = checkedIndex(e, index, *base.type, agg->items.size());
            return &agg->items[static_cast<size_t>(i)];
        }
        default:
            break;
    }
    fail(e, "Variable attendue");
}

Value Interpreter::eval(const Expr& e) {
    switch (e.op) {
        case Expr::Op::Const:
            return e.value;
        case Expr::Op::Var:
        case Expr::Op::Field:
        case Expr::Op::Index:
            if (e.op == Expr::Op::Field && e.args[0]->type->kind == Kind::Object) {
                auto obj = eval(*e.args[0]).asObject();
                if (!obj) fail(e, "Objet non créé (nil)");
                return obj->fields[static_cast<size_t>(e.slot)];
            }
            if (e.op != Expr::Op::Var && !rooted(*e.args[0])) {
                // Element of a computed array or record: evaluate the whole, then take the part.
                Value whole = eval(*e.args[0]);
                Aggregate* agg = whole.asAggregate();
                if (e.op == Expr::Op::Field) return agg->items[static_cast<size_t>(e.slot)];
                const int64_t i =
                    checkedIndex(e, eval(*e.args[1]).asInteger(), *e.args[0]->type, agg->items.size());
                return agg->items[static_cast<size_t>(i)];
            }
            return *ref(e);
        case Expr::Op::StrIndex: {
            const std::u32string chars = toChars(eval(*e.args[0]).asString());
            const int64_t i = eval(*e.args[1]).asInteger();
            if (i < 1 || static_cast<uint64_t>(i) > chars.size())
                fail(e, "Indice hors limites (" + std::to_string(i) + ")");
            return Value::string(fromChars(chars.substr(static_cast<size_t>(i - 1), 1)));
        }
        case Expr::Op::Call:
            return callScript(e);
        case Expr::Op::NativeCall:
            return callNative(e);
        case Expr::Op::BuiltinCall:
            return builtin(e);
        case Expr::Op::Unary:
            return unary(e);
        case Expr::Op::Binary:
            return binary(e);
        case Expr::Op::ToDouble:
            return Value::real(eval(*e.args[0]).asDouble());
        case Expr::Op::Cast: {
            const int64_t v = eval(*e.args[0]).asInteger();
            if (e.type->kind == Kind::Boolean) return Value::boolean(v != 0);
            return Value::integer(v);
        }
        case Expr::Op::BracketList: {
            if (e.type->kind == Kind::Set) {
                uint64_t mask = 0;
                for (const auto& a : e.args) {
                    const int64_t v = eval(*a).asInteger();
                    if (v >= 0 && v < 64) mask |= uint64_t{1} << v;
                }
                return Value::integer(static_cast<int64_t>(mask));
            }
            auto agg = std::make_shared<Aggregate>();
            for (const auto& a : e.args) agg->items.push_back(copyValue(eval(*a)));
            Value v;
            v.data = std::move(agg);
            return v;
        }
        case Expr::Op::NewObject: {
            std::function<std::shared_ptr<Object>(const TypePtr&, int)> make = [&](const TypePtr& t,
                                                                                   int level) {
                auto obj = std::make_shared<Object>();
                obj->type = t;
                for (const auto& f : t->fields) {
                    if (f.type->kind == Kind::Object && level < 4 && f.type != t)
                        obj->fields.push_back(Value::object(make(f.type, level + 1)));
                    else
                        obj->fields.push_back(defaultValue(*f.type));
                }
                return obj;
            };
            return Value::object(make(e.type, 0));
        }
    }
    fail(e, "Expression invalide");
}

Value Interpreter::unary(const Expr& e) {
    const Value v = eval(*e.args[0]);
    if (e.oper == Tok::Keyword) {  // not
        if (e.type->kind == Kind::Boolean) return Value::boolean(!v.asBoolean());
        return Value::integer(~v.asInteger());
    }
    if (e.oper == Tok::Plus) return v;
    if (e.type->kind == Kind::Double) return Value::real(-v.asDouble());
    return Value::integer(wrapSub(0, v.asInteger()));
}

Value Interpreter::binary(const Expr& e) {
    const Expr& le = *e.args[0];
    const Expr& re = *e.args[1];
    const std::string& w = e.operWord;
    // and/or on booleans stop at the first operand that decides.
    if (e.type->kind == Kind::Boolean && (w == "and" || w == "or")) {
        const bool l = eval(le).asBoolean();
        if (w == "and" ? !l : l) return Value::boolean(l);
        return Value::boolean(eval(re).asBoolean());
    }
    const Value l = eval(le);
    const Value r = eval(re);
    const Kind k = le.type->kind;
    if (w == "in") {
        if (re.type->kind == Kind::Set) {
            const int64_t bit = l.asInteger();
            return Value::boolean(bit >= 0 && bit < 64 &&
                                  ((static_cast<uint64_t>(r.asInteger()) >> bit) & 1u));
        }
        const Kind ek = re.type->element->kind;
        for (const auto& item : r.asAggregate()->items) {
            if (ek == Kind::Double   ? item.asDouble() == l.asDouble()
                : ek == Kind::String ? item.asString() == l.asString()
                                     : item.asInteger() == l.asInteger())
                return Value::boolean(true);
        }
        return Value::boolean(false);
    }
    switch (e.oper) {
        case Tok::Plus:
            if (e.type->kind == Kind::String) {
                if (l.asString().size() + r.asString().size() > kMaxItems) fail(e, "Chaîne trop longue");
                return Value::string(l.asString() + r.asString());
            }
            if (e.type->kind == Kind::Set) return Value::integer(l.asInteger() | r.asInteger());
            if (e.type->kind == Kind::Double) return Value::real(l.asDouble() + r.asDouble());
            return Value::integer(wrapAdd(l.asInteger(), r.asInteger()));
        case Tok::Minus:
            if (e.type->kind == Kind::Set) return Value::integer(l.asInteger() & ~r.asInteger());
            if (e.type->kind == Kind::Double) return Value::real(l.asDouble() - r.asDouble());
            return Value::integer(wrapSub(l.asInteger(), r.asInteger()));
        case Tok::Star:
            if (e.type->kind == Kind::Set) return Value::integer(l.asInteger() & r.asInteger());
            if (e.type->kind == Kind::Double) return Value::real(l.asDouble() * r.asDouble());
            return Value::integer(wrapMul(l.asInteger(), r.asInteger()));
        case Tok::Slash:
            if (r.asDouble() == 0.0) fail(e, "Division par zéro");
            return Value::real(l.asDouble() / r.asDouble());
        case Tok::Keyword: {
            const int64_t a = l.asInteger(), b = r.asInteger();
            if (w == "div" || w == "mod") {
                if (b == 0) fail(e, "Division par zéro");
                if (b == -1) return Value::integer(w == "div" ? wrapSub(0, a) : 0);
                return Value::integer(w == "div" ? a / b : a % b);
            }
            if (w == "shl") return Value::integer(static_cast<int64_t>(static_cast<uint64_t>(a) << (b & 63)));
            if (w == "shr") return Value::integer(static_cast<int64_t>(static_cast<uint64_t>(a) >> (b & 63)));
            if (e.type->kind == Kind::Boolean) return Value::boolean(l.asBoolean() != r.asBoolean());  // xor
            if (w == "and") return Value::integer(a & b);
            if (w == "or") return Value::integer(a | b);
            return Value::integer(a ^ b);
        }
        default:
            break;
    }
    // Comparisons.
    int cmp = 0;
    if (k == Kind::Double || re.type->kind == Kind::Double) {
        const double a = l.asDouble(), b = r.asDouble();
        if (std::isnan(a) || std::isnan(b)) return Value::boolean(e.oper == Tok::NotEq);
        cmp = a < b ? -1 : a > b ? 1 : 0;
    } else if (k == Kind::String) {
        const int c = l.asString().compare(r.asString());
        cmp = c < 0 ? -1 : c > 0 ? 1 : 0;
    } else if (k == Kind::Object || k == Kind::Nil || re.type->kind == Kind::Object ||
               re.type->kind == Kind::Nil) {
        cmp = l.asObject() == r.asObject() ? 0 : 1;
    } else {
        const int64_t a = l.asInteger(), b = r.asInteger();
        cmp = a < b ? -1 : a > b ? 1 : 0;
    }
    switch (e.oper) {
        case Tok::Eq:
            return Value::boolean(cmp == 0);
        case Tok::NotEq:
            return Value::boolean(cmp != 0);
        case Tok::Less:
            return Value::boolean(cmp < 0);
        case Tok::Greater:
            return Value::boolean(cmp > 0);
        case Tok::LessEq:
            return Value::boolean(cmp <= 0);
        case Tok::GreaterEq:
            return Value::boolean(cmp >= 0);
        default:
            break;
    }
    fail(e, "Opérateur invalide");
}

Value Interpreter::callScript(const Expr& e) {
    tick(e);
    if (depth_ >= ScriptEngine::kMaxCallDepth) fail(e, "Trop d'appels imbriqués (récursion sans fin ?)");
    const Routine& r = *e.routine;
    Frame frame;
    frame.locals.reserve(r.localTypes.size());
    for (const auto& t : r.localTypes) frame.locals.push_back(defaultValue(*t));
    frame.refs.resize(static_cast<size_t>(r.refCount));
    // A var argument that is a variable is passed by address: variables never move. A part of an
    // array or record is copied in and written back after the call, because the callee or a later
    // argument may resize the array that holds it.
    std::vector<Value> parts;
    parts.reserve(r.params.size());
    std::vector<std::pair<size_t, Value*>> writeBack;
    for (size_t i = 0; i < r.params.size(); ++i) {
        const auto slot = static_cast<size_t>(r.paramSlot[i]);
        if (!r.params[i].byRef) {
            frame.locals[slot] = copyValue(eval(*e.args[i]));
        } else if (e.args[i]->op == Expr::Op::Var) {
            frame.refs[slot] = ref(*e.args[i]);
        } else {
            parts.push_back(copyValue(*ref(*e.args[i])));
            frame.refs[slot] = &parts.back();
            writeBack.emplace_back(i, &parts.back());
        }
    }
    Frame* saved = frame_;
    frame_ = &frame;
    ++depth_;
    struct Restore {
        Interpreter& in;
        Frame* saved;
        ~Restore() {
            in.frame_ = saved;
            --in.depth_;
        }
    } restore{*this, saved};
    exec(*r.body);
    frame_ = saved;
    for (const auto& [index, part] : writeBack) *ref(*e.args[index]) = std::move(*part);
    if (r.resultSlot >= 0) return std::move(frame.locals[static_cast<size_t>(r.resultSlot)]);
    return {};
}

Value Interpreter::callNative(const Expr& e) {
    tick(e);
    const Routine& r = *e.routine;
    std::vector<Value> args;
    args.reserve(e.args.size());
    std::vector<Value*> refs(e.args.size(), nullptr);
    for (size_t i = 0; i < e.args.size(); ++i) {
        if (r.params[i].byRef) {
            refs[i] = ref(*e.args[i]);
            args.push_back(copyValue(*refs[i]));
        } else {
            args.push_back(copyValue(eval(*e.args[i])));
        }
    }
    Value result;
    try {
        result = r.native(args);
    } catch (const RuntimeError&) {
        throw;
    } catch (const std::exception& ex) {
        fail(e, ex.what());
    }
    for (size_t i = 0; i < e.args.size(); ++i) {
        if (!refs[i]) continue;
        // The routine may have run script code that resized what the argument pointed into.
        Value* target = ref(*e.args[i]);
        *target = std::move(args[i]);
    }
    if (r.result->kind == Kind::Void) return {};
    // Give the declared type's representation whatever the host returned.
    switch (r.result->kind) {
        case Kind::Integer:
        case Kind::Enum:
        case Kind::Set:
            return Value::integer(result.asInteger());
        case Kind::Double:
            return Value::real(result.asDouble());
        case Kind::Boolean:
            return Value::boolean(result.asBoolean());
        case Kind::String:
            return Value::string(result.asString());
        case Kind::Array:
        case Kind::Record:
            if (!result.asAggregate()) return defaultValue(*r.result);
            if (r.result->kind == Kind::Record &&
                result.asAggregate()->items.size() != r.result->fields.size())
                fail(e, "Valeur de retour invalide de '" + r.name + "'");
            return result;
        case Kind::Object: {
            const auto& obj = result.asObject();
            if (obj && (!obj->type || !obj->type->derivesFrom(*r.result) ||
                        obj->fields.size() != obj->type->fields.size()))
                fail(e, "Valeur de retour invalide de '" + r.name + "'");
            return Value::object(obj);
        }
        default:
            return {};
    }
}

void Interpreter::assign(const Stmt& s) {
    const Expr& t = *s.target;
    if (t.op == Expr::Op::StrIndex) {
        const int64_t i = eval(*t.args[1]).asInteger();
        Value v = eval(*s.expr);
        Value* str = ref(*t.args[0]);
        std::u32string chars = toChars(str->asString());
        if (i < 1 || static_cast<uint64_t>(i) > chars.size())
            fail(t, "Indice hors limites (" + std::to_string(i) + ")");
        const std::u32string c = toChars(v.asString());
        chars.replace(static_cast<size_t>(i - 1), 1, c.empty() ? std::u32string(1, U' ') : c.substr(0, 1));
        *str = Value::string(fromChars(chars));
        return;
    }
    Value v = copyValue(eval(*s.expr));
    *ref(t) = std::move(v);
}

Flow Interpreter::exec(const Stmt& s) {
    switch (s.op) {
        case Stmt::Op::Empty:
            return Flow::Normal;
        case Stmt::Op::Block:
            for (const auto& st : s.body) {
                const Flow f = exec(*st);
                if (f != Flow::Normal) return f;
            }
            return Flow::Normal;
        case Stmt::Op::Assign: {
            const size_t held = holds_.size();
            assign(s);
            holds_.resize(held);
            return Flow::Normal;
        }
        case Stmt::Op::Call: {
            const size_t held = holds_.size();
            struct Release {
                std::vector<std::shared_ptr<Object>>& holds;
                size_t size;
                ~Release() { holds.resize(size); }
            } release{holds_, held};
            const Expr& e = *s.expr;
            if (e.op == Expr::Op::BuiltinCall) {
                switch (e.builtin) {
                    case Builtin::Break:
                        return Flow::Break;
                    case Builtin::Continue:
                        return Flow::Continue;
                    case Builtin::Exit:
                        if (e.args.size() == 2) *ref(*e.args[0]) = copyValue(eval(*e.args[1]));
                        return Flow::Exit;
                    default:
                        break;
                }
            }
            eval(e);
            return Flow::Normal;
        }
        case Stmt::Op::If:
            if (eval(*s.expr).asBoolean()) return exec(*s.body[0]);
            if (s.body.size() > 1) return exec(*s.body[1]);
            return Flow::Normal;
        case Stmt::Op::While:
            while (true) {
                tick(s);
                if (!eval(*s.expr).asBoolean()) break;
                const Flow f = exec(*s.body[0]);
                if (f == Flow::Break) break;
                if (f == Flow::Exit) return f;
            }
            return Flow::Normal;
        case Stmt::Op::Repeat:
            while (true) {
                tick(s);
                Flow f = Flow::Normal;
                for (const auto& st : s.body) {
                    f = exec(*st);
                    if (f != Flow::Normal) break;
                }
                if (f == Flow::Break) break;
                if (f == Flow::Exit) return f;
                if (eval(*s.expr).asBoolean()) break;
            }
            return Flow::Normal;
        case Stmt::Op::For: {
            const int64_t from = eval(*s.expr).asInteger();
            const int64_t to = eval(*s.expr2).asInteger();
            if (s.downto ? from < to : from > to) return Flow::Normal;
            const bool isBool = s.target->type->kind == Kind::Boolean;
            for (int64_t v = from;; v = s.downto ? v - 1 : v + 1) {
                tick(s);
                *ref(*s.target) = isBool ? Value::boolean(v != 0) : Value::integer(v);
                const Flow f = exec(*s.body[0]);
                if (f == Flow::Break) break;
                if (f == Flow::Exit) return f;
                if (v == to) break;
            }
            return Flow::Normal;
        }
        case Stmt::Op::Case: {
            const Value sel = eval(*s.expr);
            const bool text = s.expr->type->kind == Kind::String;
            for (const auto& b : s.branches) {
                for (const auto& [lo, hi] : b.ranges) {
                    const bool hit =
                        text ? (sel.asString() >= lo.asString() && sel.asString() <= hi.asString())
                             : (sel.asInteger() >= lo.asInteger() && sel.asInteger() <= hi.asInteger());
                    if (hit) return exec(*b.body);
                }
            }
            for (const auto& st : s.body) {
                const Flow f = exec(*st);
                if (f != Flow::Normal) return f;
            }
            return Flow::Normal;
        }
    }
    return Flow::Normal;
}

std::string upperLower(std::string s, bool upper) {
    for (auto& c : s) {
        if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

Value Interpreter::builtin(const Expr& e) {
    auto arg = [&](size_t i) { return eval(*e.args[i]); };
    switch (e.builtin) {
        case Builtin::Length: {
            const Value v = arg(0);
            if (e.args[0]->type->kind == Kind::String)
                return Value::integer(static_cast<int64_t>(toChars(v.asString()).size()));
            return Value::integer(static_cast<int64_t>(v.asAggregate()->items.size()));
        }
        case Builtin::High:
        case Builtin::Low: {
            const Type& t = *e.args[0]->type;
            if (t.kind == Kind::Array && t.isStatic)
                return Value::integer(e.builtin == Builtin::Low ? t.low : t.high);
            if (e.builtin == Builtin::Low) return Value::integer(t.kind == Kind::String ? 1 : 0);
            const Value v = arg(0);
            if (t.kind == Kind::String)
                return Value::integer(static_cast<int64_t>(toChars(v.asString()).size()));
            return Value::integer(static_cast<int64_t>(v.asAggregate()->items.size()) - 1);
        }
        case Builtin::Ord: {
            const Value v = arg(0);
            if (e.args[0]->type->kind == Kind::String) {
                const std::u32string c = toChars(v.asString());
                if (c.size() != 1) fail(e, "Caractère attendu");
                return Value::integer(static_cast<int64_t>(c[0]));
            }
            return Value::integer(v.asInteger());
        }
        case Builtin::Succ:
        case Builtin::Pred: {
            const int64_t v = wrapAdd(arg(0).asInteger(), e.builtin == Builtin::Succ ? 1 : -1);
            if (e.type->kind == Kind::Boolean) return Value::boolean(v != 0);
            return Value::integer(v);
        }
        case Builtin::Chr: {
            const int64_t v = arg(0).asInteger();
            if (v < 0 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) fail(e, "Code de caractère invalide");
            return Value::string(fromChars(std::u32string(1, static_cast<char32_t>(v))));
        }
        case Builtin::IntToStr:
            return Value::string(std::to_string(arg(0).asInteger()));
        case Builtin::StrToInt: {
            int64_t v = 0;
            const std::string s = arg(0).asString();
            if (!parseInteger(s, v)) fail(e, "'" + s + "' n'est pas un entier valide");
            return Value::integer(v);
        }
        case Builtin::StrToIntDef: {
            int64_t v = 0;
            const std::string s = arg(0).asString();
            return Value::integer(parseInteger(s, v) ? v : arg(1).asInteger());
        }
        case Builtin::FloatToStr:
            return Value::string(formatDouble(arg(0).asDouble()));
        case Builtin::StrToFloat: {
            double v = 0;
            const std::string s = arg(0).asString();
            if (!parseDouble(s, v)) fail(e, "'" + s + "' n'est pas un nombre valide");
            return Value::real(v);
        }
        case Builtin::BoolToStr:
            return Value::string(arg(0).asBoolean() ? "True" : "False");
        case Builtin::Copy: {
            const std::u32string s = toChars(arg(0).asString());
            int64_t from = arg(1).asInteger();
            int64_t n = e.args.size() == 3 ? arg(2).asInteger() : INT64_MAX;
            if (from < 1) from = 1;
            if (n <= 0 || static_cast<uint64_t>(from) > s.size()) return Value::string({});
            const size_t start = static_cast<size_t>(from - 1);
            return Value::string(fromChars(s.substr(
                start, static_cast<size_t>(std::min<int64_t>(n, static_cast<int64_t>(s.size() - start))))));
        }
        case Builtin::Pos: {
            const std::u32string sub = toChars(arg(0).asString());
            const std::u32string s = toChars(arg(1).asString());
            if (sub.empty()) return Value::integer(0);
            const size_t at = s.find(sub);
            return Value::integer(at == std::u32string::npos ? 0 : static_cast<int64_t>(at) + 1);
        }
        case Builtin::UpperCase:
            return Value::string(upperLower(arg(0).asString(), true));
        case Builtin::LowerCase:
            return Value::string(upperLower(arg(0).asString(), false));
        case Builtin::Trim:
            return Value::string(trimText(arg(0).asString(), true, true));
        case Builtin::TrimLeft:
            return Value::string(trimText(arg(0).asString(), true, false));
        case Builtin::TrimRight:
            return Value::string(trimText(arg(0).asString(), false, true));
        case Builtin::QuotedStr: {
            std::string out = "'";
            for (char c : arg(0).asString()) {
                out += c;
                if (c == '\'') out += c;
            }
            return Value::string(out + "'");
        }
        case Builtin::Abs:
            if (e.type->kind == Kind::Double) return Value::real(std::fabs(arg(0).asDouble()));
            {
                const int64_t v = arg(0).asInteger();
                return Value::integer(v < 0 ? wrapSub(0, v) : v);
            }
        case Builtin::Sqr:
            if (e.type->kind == Kind::Double) {
                const double v = arg(0).asDouble();
                return Value::real(v * v);
            }
            {
                const int64_t v = arg(0).asInteger();
                return Value::integer(wrapMul(v, v));
            }
        case Builtin::Sqrt: {
            const double v = arg(0).asDouble();
            if (v < 0) fail(e, "Opération en virgule flottante invalide");
            return Value::real(std::sqrt(v));
        }
        case Builtin::Frac: {
            const double v = arg(0).asDouble();
            return Value::real(v - std::trunc(v));
        }
        case Builtin::Int:
            return Value::real(std::trunc(arg(0).asDouble()));
        case Builtin::Round:
        case Builtin::Trunc: {
            const double v = arg(0).asDouble();
            // Round half to even, as the dialect's Round does.
            const double r = e.builtin == Builtin::Round ? std::nearbyint(v) : std::trunc(v);
            if (!std::isfinite(r) || r < -9.2e18 || r > 9.2e18) fail(e, "Dépassement de capacité");
            return Value::integer(static_cast<int64_t>(r));
        }
        case Builtin::Odd:
            return Value::boolean((arg(0).asInteger() & 1) != 0);
        case Builtin::IntToHex: {
            char buf[32];
            int digits = static_cast<int>(std::clamp<int64_t>(arg(1).asInteger(), 0, 16));
            std::snprintf(buf, sizeof buf, "%0*llX", digits,
                          static_cast<unsigned long long>(arg(0).asInteger()));
            return Value::string(buf);
        }
        case Builtin::StringOfChar: {
            const std::string c = fromChars(toChars(arg(0).asString()).substr(0, 1));
            const int64_t n = arg(1).asInteger();
            if (n <= 0) return Value::string({});
            if (static_cast<uint64_t>(n) * c.size() > kMaxItems) fail(e, "Chaîne trop longue");
            std::string out;
            for (int64_t i = 0; i < n; ++i) out += c;
            return Value::string(out);
        }
        case Builtin::Assigned:
            return Value::boolean(arg(0).asObject() != nullptr);
        case Builtin::Inc:
        case Builtin::Dec: {
            const int64_t by = e.args.size() == 2 ? arg(1).asInteger() : 1;
            Value* v = ref(*e.args[0]);
            const int64_t n =
                e.builtin == Builtin::Inc ? wrapAdd(v->asInteger(), by) : wrapSub(v->asInteger(), by);
            *v = e.args[0]->type->kind == Kind::Boolean ? Value::boolean(n != 0) : Value::integer(n);
            return {};
        }
        case Builtin::SetLength: {
            const int64_t n = arg(1).asInteger();
            if (n < 0 || static_cast<uint64_t>(n) > kMaxItems)
                fail(e, "Longueur invalide (" + std::to_string(n) + ")");
            Value* v = ref(*e.args[0]);
            if (e.args[0]->type->kind == Kind::String) {
                std::u32string chars = toChars(v->asString());
                chars.resize(static_cast<size_t>(n), U' ');
                *v = Value::string(fromChars(chars));
            } else {
                auto& items = v->asAggregate()->items;
                const Type& elem = *e.args[0]->type->element;
                while (items.size() > static_cast<size_t>(n)) items.pop_back();
                while (items.size() < static_cast<size_t>(n)) items.push_back(defaultValue(elem));
            }
            return {};
        }
        case Builtin::Delete: {
            const int64_t from = arg(1).asInteger(), n = arg(2).asInteger();
            Value* v = ref(*e.args[0]);
            std::u32string chars = toChars(v->asString());
            if (from >= 1 && n > 0 && static_cast<uint64_t>(from) <= chars.size())
                chars.erase(static_cast<size_t>(from - 1),
                            static_cast<size_t>(std::min<int64_t>(n, static_cast<int64_t>(chars.size()))));
            *v = Value::string(fromChars(chars));
            return {};
        }
        case Builtin::Insert: {
            const std::u32string src = toChars(arg(0).asString());
            int64_t at = arg(2).asInteger();
            Value* v = ref(*e.args[1]);
            std::u32string chars = toChars(v->asString());
            if (at < 1) at = 1;
            if (static_cast<uint64_t>(at) > chars.size() + 1) at = static_cast<int64_t>(chars.size()) + 1;
            if (chars.size() + src.size() > kMaxItems) fail(e, "Chaîne trop longue");
            chars.insert(static_cast<size_t>(at - 1), src);
            *v = Value::string(fromChars(chars));
            return {};
        }
        default:
            break;
    }
    fail(e, "Routine invalide");
}

}  // namespace

// ---------------------------------------------------------------------------------------------

Builtin builtinByName(const std::string& lowerName) {
    static const std::unordered_map<std::string, Builtin> table = {{"length", Builtin::Length},
                                                                   {"high", Builtin::High},
                                                                   {"low", Builtin::Low},
                                                                   {"ord", Builtin::Ord},
                                                                   {"chr", Builtin::Chr},
                                                                   {"succ", Builtin::Succ},
                                                                   {"pred", Builtin::Pred},
                                                                   {"inttostr", Builtin::IntToStr},
                                                                   {"strtoint", Builtin::StrToInt},
                                                                   {"strtointdef", Builtin::StrToIntDef},
                                                                   {"floattostr", Builtin::FloatToStr},
                                                                   {"strtofloat", Builtin::StrToFloat},
                                                                   {"booltostr", Builtin::BoolToStr},
                                                                   {"copy", Builtin::Copy},
                                                                   {"pos", Builtin::Pos},
                                                                   {"uppercase", Builtin::UpperCase},
                                                                   {"lowercase", Builtin::LowerCase},
                                                                   {"trim", Builtin::Trim},
                                                                   {"trimleft", Builtin::TrimLeft},
                                                                   {"trimright", Builtin::TrimRight},
                                                                   {"quotedstr", Builtin::QuotedStr},
                                                                   {"abs", Builtin::Abs},
                                                                   {"sqr", Builtin::Sqr},
                                                                   {"sqrt", Builtin::Sqrt},
                                                                   {"frac", Builtin::Frac},
                                                                   {"int", Builtin::Int},
                                                                   {"round", Builtin::Round},
                                                                   {"trunc", Builtin::Trunc},
                                                                   {"odd", Builtin::Odd},
                                                                   {"inttohex", Builtin::IntToHex},
                                                                   {"stringofchar", Builtin::StringOfChar},
                                                                   {"assigned", Builtin::Assigned},
                                                                   {"inc", Builtin::Inc},
                                                                   {"dec", Builtin::Dec},
                                                                   {"setlength", Builtin::SetLength},
                                                                   {"delete", Builtin::Delete},
                                                                   {"insert", Builtin::Insert},
                                                                   {"exit", Builtin::Exit},
                                                                   {"break", Builtin::Break},
                                                                   {"continue", Builtin::Continue}};
    auto it = table.find(lowerName);
    return it == table.end() ? Builtin::None : it->second;
}

Value evaluateConstant(const Expr& expr) {
    std::vector<Value> none;
    return Interpreter(nullptr, &none, nullptr, nullptr).eval(expr);
}

std::u32string toChars(const std::string& s) {
    std::u32string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        char32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
        bool ok = n > 0 && i + static_cast<size_t>(n) <= s.size();
        for (int k = 1; ok && k < n; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
            if ((cc & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok) {  // a stray byte stands for itself
            out += static_cast<char32_t>(c);
            ++i;
            continue;
        }
        out += cp;
        i += static_cast<size_t>(n);
    }
    return out;
}

std::string fromChars(const std::u32string& chars) {
    std::string out;
    out.reserve(chars.size());
    for (char32_t cp : chars) AppendUtf8(out, cp);
    return out;
}

std::string formatDouble(double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    // Locale-independent, so the text always reads back as a script literal.
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    std::string out(buf, r.ptr);
    for (auto& c : out)
        if (c == 'e') c = 'E';
    return out;
}

std::string ScriptMessage::format() const {
    const char* kind = severity == Severity::Error ? "[Erreur]" : "[Avertissement]";
    if (line <= 0) return std::string(kind) + " " + text;
    return std::string(kind) + " (ligne " + std::to_string(line) + ", colonne " + std::to_string(column) +
           ") : " + text;
}

ScriptEngine::ScriptEngine() = default;
ScriptEngine::~ScriptEngine() = default;

bool ScriptEngine::compile(const std::string& source, const ScriptDeclarations& declarations) {
    program_.reset();
    messages_.clear();
    globals_.clear();
    std::vector<std::string> warnings;
    auto addWarnings = [&] {
        for (auto& w : warnings) messages_.push_back({ScriptMessage::Severity::Warning, 0, 0, std::move(w)});
    };
    try {
        program_ = compileProgram(source, declarations, warnings);
        addWarnings();
        return true;
    } catch (const CompileError& e) {
        addWarnings();
        messages_.push_back({ScriptMessage::Severity::Error, e.line, e.column, e.what()});
    } catch (const std::bad_alloc&) {
        messages_.push_back({ScriptMessage::Severity::Error, 0, 0, "Mémoire insuffisante"});
    }
    return false;
}

RunOutcome ScriptEngine::run() {
    RunOutcome out;
    if (!program_) {
        out.error = "Aucun script compilé";
        return out;
    }
    stop_.store(false, std::memory_order_relaxed);
    const std::shared_ptr<Program> program = program_;  // kept alive while a native recompiles
    globals_.clear();
    for (const auto& t : program->globalTypes) globals_.push_back(defaultValue(*t));
    try {
        Interpreter(program.get(), &globals_, &stop_, &poll_).runMain();
        out.ok = true;
    } catch (const RuntimeError& e) {
        out.line = e.line;
        out.column = e.column;
        out.error = std::string(e.what()) + " (ligne " + std::to_string(e.line) + ", colonne " +
                    std::to_string(e.column) + ")";
    } catch (const std::bad_alloc&) {
        out.error = "Mémoire insuffisante";
    }
    return out;
}

std::optional<Value> ScriptEngine::global(const std::string& name) const {
    if (!program_) return std::nullopt;
    const std::string key = lowerAscii(name);
    for (size_t i = 0; i < program_->globalNames.size() && i < globals_.size(); ++i)
        if (program_->globalNames[i] == key) return globals_[i];
    return std::nullopt;
}

}  // namespace velinor::script
