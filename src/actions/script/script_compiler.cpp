// Single-pass compiler: parses the script, resolves every name and checks every type while it
// builds the syntax tree, as declarations always come before use in the dialect.
#include <unordered_map>

#include "actions/script/script_engine.h"
#include "actions/script/script_internal.h"

namespace velinor::script {

namespace {

constexpr int kMaxExprHeight = 400;

struct Symbol {
    enum class K { Const, Var, Type, Routine, Builtin } k = K::Const;
    TypePtr type;
    Value value;
    Storage storage = Storage::Global;
    int slot = 0;
    Routine* routine = nullptr;
    Builtin builtin = Builtin::None;
};

using Scope = std::unordered_map<std::string, Symbol>;

std::shared_ptr<Type> makeType(Kind kind, std::string name = {}) {
    auto t = std::make_shared<Type>();
    t->kind = kind;
    t->name = std::move(name);
    return t;
}

bool isNumeric(const Type& t) {
    return t.kind == Kind::Integer || t.kind == Kind::Double;
}

bool sameType(const Type& a, const Type& b) {
    if (&a == &b) return true;
    switch (a.kind) {
        case Kind::Integer:
        case Kind::Double:
        case Kind::Boolean:
        case Kind::String:
            return a.kind == b.kind;
        case Kind::Array:
            return b.kind == Kind::Array && !a.isStatic && !b.isStatic && a.element && b.element &&
                   sameType(*a.element, *b.element);
        case Kind::Set:
            return b.kind == Kind::Set && a.element && b.element && sameType(*a.element, *b.element);
        default:
            return false;
    }
}

class Compiler {
public:
    Compiler(Program& program, const ScriptDeclarations& declarations, std::vector<std::string>& warnings)
        : prog_(program), decls_(declarations), warnings_(warnings) {
        scopes_.resize(2);
        declareSystem();
    }

    void compile(const std::string& source) {
        declareHost();
        toks_ = tokenize(source);
        p_ = 0;
        parseProgram();
    }

private:
    // ---- tokens -------------------------------------------------------------------------
    const Token& tok() const { return toks_[p_]; }
    const Token& peekTok(size_t n = 1) const { return toks_[std::min(p_ + n, toks_.size() - 1)]; }
    void next() {
        if (p_ + 1 < toks_.size()) ++p_;
    }
    bool isKw(const char* word) const { return tok().kind == Tok::Keyword && tok().text == word; }
    bool is(Tok k) const { return tok().kind == k; }
    bool acceptKw(const char* word) {
        if (!isKw(word)) return false;
        next();
        return true;
    }
    bool accept(Tok k) {
        if (!is(k)) return false;
        next();
        return true;
    }
    [[noreturn]] void failAt(const Token& t, const std::string& text) {
        throw CompileError(t.line, t.column, text);
    }
    [[noreturn]] void fail(const std::string& text) { failAt(tok(), text); }
    [[noreturn]] void expected(const std::string& what) {
        if (is(Tok::End)) fail("Fin du texte inattendue : '" + what + "' attendu");
        fail("'" + what + "' attendu mais '" + tokenText(tok()) + "' trouvé");
    }
    void expectKw(const char* word) {
        if (!acceptKw(word)) expected(word);
    }
    void expect(Tok k, const char* spelling) {
        if (!accept(k)) expected(spelling);
    }
    std::string expectIdent() {
        if (!is(Tok::Ident)) expected("identificateur");
        std::string s = tok().text;
        next();
        return s;
    }

    struct DepthGuard {
        explicit DepthGuard(Compiler& c) : c_(c) {
            if (++c_.depth_ > ScriptEngine::kMaxNesting) c_.fail("Imbrication trop profonde");
        }
        ~DepthGuard() { --c_.depth_; }
        Compiler& c_;
    };

    // ---- scopes -------------------------------------------------------------------------
    const Symbol* lookup(const std::string& key) const {
        for (auto it = scopes_.rbegin(); it != scopes_.rend(); ++it) {
            auto f = it->find(key);
            if (f != it->end()) return &f->second;
        }
        if (Builtin b = builtinByName(key); b != Builtin::None) {
            static thread_local Symbol s;
            s = Symbol{};
            s.k = Symbol::K::Builtin;
            s.builtin = b;
            return &s;
        }
        return nullptr;
    }

    void declare(const Token& at, const std::string& key, Symbol sym) {
        auto& scope = scopes_.back();
        if (scope.count(key) ||
            (scopes_.size() == 3 && key == "result" && current_ && current_->result->kind != Kind::Void))
            failAt(at, "Identificateur redéclaré '" + key + "'");
        // A script global may not hide a host declaration either: both live at the same level.
        scope.emplace(key, std::move(sym));
    }

    void declareType(const std::string& name, TypePtr t) {
        Symbol s;
        s.k = Symbol::K::Type;
        s.type = std::move(t);
        scopes_[0][lowerAscii(name)] = s;
    }

    void declareSystem() {
        for (const char* n : {"integer", "longint", "cardinal", "longword", "word", "byte", "shortint",
                              "smallint", "int64", "uint64", "dword", "tcolor", "nativeint"})
            declareType(n, integerType());
        for (const char* n : {"double", "real", "single", "extended", "currency", "tdatetime"})
            declareType(n, doubleType());
        declareType("boolean", booleanType());
        declareType("bytebool", booleanType());
        declareType("longbool", booleanType());
        for (const char* n : {"string", "widestring", "ansistring", "unicodestring", "shortstring", "char",
                              "widechar", "ansichar", "pchar", "tbstr"})
            declareType(n, stringType());
        Symbol t;
        t.k = Symbol::K::Const;
        t.type = booleanType();
        t.value = Value::boolean(true);
        scopes_[0]["true"] = t;
        t.value = Value::boolean(false);
        scopes_[0]["false"] = t;
        Symbol maxint;
        maxint.k = Symbol::K::Const;
        maxint.type = integerType();
        maxint.value = Value::integer(2147483647);
        scopes_[0]["maxint"] = maxint;
    }

    // Host declarations are written in the script's own syntax and parsed here with the same rules.
    template <typename F>
    void withText(const std::string& text, F&& body) {
        auto savedToks = std::move(toks_);
        const size_t savedP = p_;
        try {
            toks_ = tokenize(text);
            p_ = 0;
            body();
            if (!is(Tok::End)) fail("Texte en trop");
        } catch (const CompileError& e) {
            toks_ = std::move(savedToks);
            p_ = savedP;
            throw CompileError(0, 0, "Déclaration de l'hôte invalide « " + text + " » : " + e.what());
        }
        toks_ = std::move(savedToks);
        p_ = savedP;
    }

    void declareHost() {
        for (const auto& e : decls_.entries()) {
            try {
                declareHostEntry(e);
            } catch (const CompileError& err) {
                warnings_.push_back(err.what());
            }
        }
    }

    void declareHostEntry(const ScriptDeclarations::Entry& e) {
        {
            switch (e.what) {
                case ScriptDeclarations::Entry::What::Type: {
                    const auto& d = decls_.types()[e.index];
                    withText(d.definition, [&] {
                        const Token at = tok();
                        TypePtr t = parseType(d.name);
                        declareTypeSymbol(at, d.name, t);
                    });
                    break;
                }
                case ScriptDeclarations::Entry::What::Class: {
                    const auto& d = decls_.classes()[e.index];
                    auto t = makeType(Kind::Object, d.name);
                    if (!d.parent.empty()) {
                        const Symbol* ps = lookup(lowerAscii(d.parent));
                        if (!ps || ps->k != Symbol::K::Type || ps->type->kind != Kind::Object)
                            throw CompileError(0, 0, "Classe parente inconnue '" + d.parent + "'");
                        t->parent = ps->type;
                        t->fields = ps->type->fields;
                    }
                    withText(d.fields, [&] { parseFieldList(*t, true); });
                    prog_.types.push_back(t);
                    withText(d.name, [&] {
                        declareTypeSymbol(tok(), d.name, t);
                        next();
                    });
                    break;
                }
                case ScriptDeclarations::Entry::What::Constant: {
                    const auto& d = decls_.constants()[e.index];
                    withText(d.name + ":" + d.typeName, [&] {
                        const Token at = tok();
                        const std::string key = expectIdent();
                        expect(Tok::Colon, ":");
                        Symbol s;
                        s.k = Symbol::K::Const;
                        s.type = parseType({});
                        s.value = d.value;
                        declare(at, key, s);
                    });
                    break;
                }
                case ScriptDeclarations::Entry::What::Routine: {
                    const auto& d = decls_.routines()[e.index];
                    withText(d.declaration, [&] {
                        Routine* r = parseRoutineHeader(true);
                        r->native = d.routine;
                        r->defined = true;
                        accept(Tok::Semicolon);
                    });
                    break;
                }
            }
        }
    }

    void declareTypeSymbol(const Token& at, const std::string& name, TypePtr t) {
        Symbol s;
        s.k = Symbol::K::Type;
        s.type = std::move(t);
        declare(at, lowerAscii(name), s);
    }

    // ---- program structure --------------------------------------------------------------
    void parseProgram() {
        if (acceptKw("program")) {
            expectIdent();
            expect(Tok::Semicolon, ";");
        }
        if (acceptKw("uses")) {
            do expectIdent();
            while (accept(Tok::Comma));
            expect(Tok::Semicolon, ";");
        }
        parseDeclarations(true);
        if (!isKw("begin")) expected("begin");
        prog_.main = parseCompound();
        if (!accept(Tok::Dot)) expected(".");
        for (const auto& r : prog_.routines)
            if (!r->defined)
                throw CompileError(r->line, r->column, "Routine déclarée mais non définie '" + r->name + "'");
    }

    void parseDeclarations(bool global) {
        for (;;) {
            if (acceptKw("var")) {
                parseVarSection(global);
            } else if (acceptKw("const")) {
                parseConstSection(global);
            } else if (acceptKw("type")) {
                parseTypeSection();
            } else if (isKw("procedure") || isKw("function")) {
                if (!global) fail("Les routines imbriquées ne sont pas prises en charge");
                parseRoutine();
            } else {
                return;
            }
        }
    }

    int newVariable(bool global, const TypePtr& type) {
        if (global) {
            prog_.globalTypes.push_back(type);
            return static_cast<int>(prog_.globalTypes.size() - 1);
        }
        current_->localTypes.push_back(type);
        return static_cast<int>(current_->localTypes.size() - 1);
    }

    void parseVarSection(bool global) {
        while (is(Tok::Ident)) {
            std::vector<std::pair<Token, std::string>> names;
            do {
                const Token at = tok();
                names.emplace_back(at, expectIdent());
            } while (accept(Tok::Comma));
            expect(Tok::Colon, ":");
            TypePtr type = parseType({});
            ExprPtr init;
            if (accept(Tok::Eq)) {
                if (names.size() != 1) fail("Une seule variable peut être initialisée à la fois");
                init = coerce(parseExpr(), type);
                if (!init->constant) failAt(names[0].first, "Expression constante attendue");
            }
            expect(Tok::Semicolon, ";");
            for (auto& [at, key] : names) {
                Symbol s;
                s.k = Symbol::K::Var;
                s.type = type;
                s.storage = global ? Storage::Global : Storage::Local;
                s.slot = newVariable(global, type);
                declare(at, key, s);
                if (global) prog_.globalNames.push_back(key);
                if (init) addInit(global, s.slot, std::move(init));
            }
        }
    }

    void addInit(bool global, int slot, ExprPtr init) {
        if (global) {
            prog_.globalInits.emplace_back(slot, std::move(init));
        } else {
            // Locals start from their type's default on every call; an initial value becomes an
            // assignment at the top of the body.
            auto st = std::make_unique<Stmt>();
            st->op = Stmt::Op::Assign;
            st->line = init->line;
            st->column = init->column;
            auto target = std::make_unique<Expr>();
            target->op = Expr::Op::Var;
            target->storage = Storage::Local;
            target->slot = slot;
            target->type = init->type;
            st->target = std::move(target);
            st->expr = std::move(init);
            localInits_.push_back(std::move(st));
        }
    }

    void parseConstSection(bool global) {
        while (is(Tok::Ident)) {
            const Token at = tok();
            const std::string key = expectIdent();
            TypePtr declared;
            if (accept(Tok::Colon)) declared = parseType({});
            expect(Tok::Eq, "=");
            ExprPtr e = parseExpr();
            if (declared) e = coerce(std::move(e), declared);
            if (!e->constant) failAt(at, "Expression constante attendue");
            expect(Tok::Semicolon, ";");
            Symbol s;
            if (declared) {
                // A typed constant is an initialised variable, as the dialect allows.
                s.k = Symbol::K::Var;
                s.type = declared;
                s.storage = global ? Storage::Global : Storage::Local;
                s.slot = newVariable(global, declared);
                declare(at, key, s);
                if (global) prog_.globalNames.push_back(key);
                addInit(global, s.slot, std::move(e));
            } else {
                s.k = Symbol::K::Const;
                s.type = e->type;
                s.value = foldValue(*e);
                declare(at, key, s);
            }
        }
    }

    void parseTypeSection() {
        while (is(Tok::Ident)) {
            const Token at = tok();
            const std::string name = tok().spelling;
            next();
            expect(Tok::Eq, "=");
            TypePtr t = parseType(name);
            expect(Tok::Semicolon, ";");
            declareTypeSymbol(at, name, t);
        }
    }

    int64_t constOrdinal(const Type** enumType) {
        ExprPtr e = parseSimple();
        if (!e->constant || !e->type->isOrdinal())
            failAt(toks_[p_ > 0 ? p_ - 1 : 0], "Constante ordinale attendue");
        if (enumType) *enumType = e->type->kind == Kind::Enum ? e->type.get() : nullptr;
        return foldValue(*e).asInteger();
    }

    TypePtr parseType(const std::string& newName) {
        DepthGuard guard(*this);
        const Token at = tok();
        if (is(Tok::LParen)) {
            next();
            auto t = makeType(Kind::Enum, newName);
            std::vector<std::pair<Token, std::string>> names;
            do {
                names.emplace_back(tok(), expectIdent());
                t->enumNames.push_back(names.back().first.spelling);
            } while (accept(Tok::Comma));
            expect(Tok::RParen, ")");
            prog_.types.push_back(t);
            for (size_t i = 0; i < names.size(); ++i) {
                Symbol s;
                s.k = Symbol::K::Const;
                s.type = t;
                s.value = Value::integer(static_cast<int64_t>(i));
                declare(names[i].first, names[i].second, s);
            }
            return t;
        }
        if (acceptKw("set")) {
            expectKw("of");
            const Token et = tok();
            TypePtr e = parseType({});
            if (e->kind != Kind::Enum || e->enumNames.size() > 64)
                failAt(et, "Seuls les ensembles d'une énumération de 64 valeurs au plus sont pris en charge");
            auto t = makeType(Kind::Set, newName);
            t->element = e;
            prog_.types.push_back(t);
            return t;
        }
        if (acceptKw("array")) {
            std::vector<std::pair<int64_t, int64_t>> dims;
            if (accept(Tok::LBracket)) {
                do {
                    const Token dt = tok();
                    const int64_t lo = constOrdinal(nullptr);
                    expect(Tok::DotDot, "..");
                    const int64_t hi = constOrdinal(nullptr);
                    if (hi < lo || hi - lo >= 1'000'000) failAt(dt, "Bornes de tableau invalides");
                    dims.emplace_back(lo, hi);
                } while (accept(Tok::Comma));
                expect(Tok::RBracket, "]");
            }
            expectKw("of");
            TypePtr element;
            if (acceptKw("const")) fail("'array of const' n'est pas pris en charge");
            element = parseType({});
            if (dims.empty()) {
                auto t = makeType(Kind::Array, newName);
                t->element = element;
                prog_.types.push_back(t);
                return t;
            }
            int64_t total = 1;
            for (auto it = dims.rbegin(); it != dims.rend(); ++it) {
                total *= it->second - it->first + 1;
                if (total > 1'000'000) failAt(at, "Tableau trop grand");
                auto t = makeType(Kind::Array, it + 1 == dims.rend() ? newName : std::string());
                t->element = element;
                t->isStatic = true;
                t->low = it->first;
                t->high = it->second;
                prog_.types.push_back(t);
                element = t;
            }
            return element;
        }
        if (acceptKw("record")) {
            auto t = makeType(Kind::Record, newName);
            parseFieldList(*t, false);
            expectKw("end");
            prog_.types.push_back(t);
            return t;
        }
        if (is(Tok::Ident)) {
            const Symbol* s = lookup(tok().text);
            if (s && s->k == Symbol::K::Type) {
                next();
                if (s->type->kind == Kind::String && accept(Tok::LBracket)) {  // string[N]
                    constOrdinal(nullptr);
                    expect(Tok::RBracket, "]");
                }
                return s->type;
            }
        }
        // A subrange lo..hi of integers or of an enumeration.
        const Type* enumType = nullptr;
        constOrdinal(&enumType);
        if (!accept(Tok::DotDot)) failAt(at, "Type attendu");
        const Type* enumType2 = nullptr;
        constOrdinal(&enumType2);
        if (enumType != enumType2) failAt(at, "Bornes d'intervalle de types différents");
        if (enumType) {
            for (const auto& t : prog_.types)
                if (t.get() == enumType) return t;
        }
        return integerType();
    }

    // "a, b: T; c: U" up to `end` (records) or the end of the text (host classes).
    void parseFieldList(Type& t, bool toEnd) {
        while (is(Tok::Ident)) {
            std::vector<Token> names;
            do {
                names.push_back(tok());
                expectIdent();
            } while (accept(Tok::Comma));
            expect(Tok::Colon, ":");
            TypePtr ft = parseType({});
            for (const auto& n : names) {
                if (t.fieldIndex(n.text) >= 0) failAt(n, "Champ redéclaré '" + n.spelling + "'");
                t.fields.push_back({n.spelling, n.text, ft});
            }
            if (!accept(Tok::Semicolon)) break;
        }
        if (toEnd && !is(Tok::End)) expected(";");
    }

    // ---- routines -----------------------------------------------------------------------
    Routine* parseRoutineHeader(bool native) {
        const bool isFunction = isKw("function");
        next();
        const Token at = tok();
        const std::string key = expectIdent();
        auto r = std::make_unique<Routine>();
        r->name = at.spelling;
        r->line = at.line;
        r->column = at.column;
        if (accept(Tok::LParen)) {
            if (!is(Tok::RParen)) {
                do {
                    bool byRef = false;
                    if (acceptKw("var"))
                        byRef = true;
                    else if (acceptKw("const")) {
                    } else if (is(Tok::Ident) && tok().text == "out" && peekTok().kind == Tok::Ident) {
                        next();
                        byRef = true;
                    }
                    std::vector<Token> names;
                    do {
                        names.push_back(tok());
                        expectIdent();
                    } while (accept(Tok::Comma));
                    if (!accept(Tok::Colon)) expected(":");
                    TypePtr pt;
                    if (isKw("array") && peekTok().kind == Tok::Keyword && peekTok().text == "of") {
                        next();
                        next();
                        auto t = makeType(Kind::Array);
                        t->element = parseType({});
                        prog_.types.push_back(t);
                        pt = t;
                    } else {
                        pt = parseType({});
                    }
                    for (const auto& n : names) {
                        for (const auto& prev : r->params)
                            if (lowerAscii(prev.name) == n.text)
                                failAt(n, "Paramètre redéclaré '" + n.spelling + "'");
                        r->params.push_back({n.spelling, pt, byRef});
                    }
                } while (accept(Tok::Semicolon));
            }
            expect(Tok::RParen, ")");
        }
        r->result = voidType();
        if (isFunction) {
            expect(Tok::Colon, ":");
            r->result = parseType({});
        }
        (void)native;
        // A forward declaration is completed by the later definition with the same heading.
        auto& scope = scopes_[1];
        if (auto it = scope.find(key); it != scope.end()) {
            Routine* prev = it->second.k == Symbol::K::Routine ? it->second.routine : nullptr;
            if (!prev || prev->defined || native || !sameHeading(*prev, *r))
                failAt(at, "Identificateur redéclaré '" + at.spelling + "'");
            return prev;
        }
        Symbol s;
        s.k = Symbol::K::Routine;
        s.routine = r.get();
        s.type = r->result;
        scope.emplace(key, s);
        prog_.routines.push_back(std::move(r));
        return prog_.routines.back().get();
    }

    static bool sameHeading(const Routine& a, const Routine& b) {
        if (a.params.size() != b.params.size() || !sameType(*a.result, *b.result)) return false;
        for (size_t i = 0; i < a.params.size(); ++i)
            if (a.params[i].byRef != b.params[i].byRef || !sameType(*a.params[i].type, *b.params[i].type))
                return false;
        return true;
    }

    void parseRoutine() {
        Routine* r = parseRoutineHeader(false);
        expect(Tok::Semicolon, ";");
        if (is(Tok::Ident) && tok().text == "forward") {
            next();
            expect(Tok::Semicolon, ";");
            return;
        }
        current_ = r;
        r->localTypes.clear();
        r->paramSlot.clear();
        r->refCount = 0;
        scopes_.emplace_back();
        for (const auto& prm : r->params) {
            Symbol s;
            s.k = Symbol::K::Var;
            s.type = prm.type;
            if (prm.byRef) {
                s.storage = Storage::Ref;
                s.slot = r->refCount++;
            } else {
                s.storage = Storage::Local;
                s.slot = newVariable(false, prm.type);
            }
            r->paramSlot.push_back(s.slot);
            scopes_.back().emplace(lowerAscii(prm.name), s);
        }
        if (r->result->kind != Kind::Void) {
            r->resultSlot = newVariable(false, r->result);
            Symbol s;
            s.k = Symbol::K::Var;
            s.type = r->result;
            s.storage = Storage::Local;
            s.slot = r->resultSlot;
            scopes_.back()["result"] = s;
        }
        localInits_.clear();
        parseDeclarations(false);
        if (!isKw("begin")) expected("begin");
        r->defined = true;  // before the body, so the routine can call itself
        StmtPtr body = parseCompound();
        if (!localInits_.empty()) {
            auto block = std::make_unique<Stmt>();
            block->op = Stmt::Op::Block;
            for (auto& st : localInits_) block->body.push_back(std::move(st));
            block->body.push_back(std::move(body));
            localInits_.clear();
            body = std::move(block);
        }
        r->body = std::move(body);
        expect(Tok::Semicolon, ";");
        scopes_.pop_back();
        current_ = nullptr;
    }

    // ---- statements ---------------------------------------------------------------------
    StmtPtr makeStmt(Stmt::Op op, const Token& at) {
        auto s = std::make_unique<Stmt>();
        s->op = op;
        s->line = at.line;
        s->column = at.column;
        return s;
    }

    StmtPtr parseCompound() {
        const Token at = tok();
        expectKw("begin");
        auto block = makeStmt(Stmt::Op::Block, at);
        parseStatementList(block->body, "end");
        expectKw("end");
        return block;
    }

    void parseStatementList(std::vector<StmtPtr>& out, const char* terminator) {
        for (;;) {
            if (isKw(terminator)) return;
            out.push_back(parseStatement());
            if (accept(Tok::Semicolon)) continue;
            if (!isKw(terminator)) expected(";");
        }
    }

    StmtPtr parseStatement() {
        DepthGuard guard(*this);
        const Token at = tok();
        if (is(Tok::Semicolon) || isKw("end") || isKw("until") || isKw("else"))
            return makeStmt(Stmt::Op::Empty, at);
        if (isKw("begin")) return parseCompound();
        if (acceptKw("if")) {
            auto s = makeStmt(Stmt::Op::If, at);
            s->expr = condition(parseExpr());
            expectKw("then");
            s->body.push_back(parseStatement());
            if (acceptKw("else")) s->body.push_back(parseStatement());
            return s;
        }
        if (acceptKw("while")) {
            auto s = makeStmt(Stmt::Op::While, at);
            s->expr = condition(parseExpr());
            expectKw("do");
            ++loops_;
            s->body.push_back(parseStatement());
            --loops_;
            return s;
        }
        if (acceptKw("repeat")) {
            auto s = makeStmt(Stmt::Op::Repeat, at);
            ++loops_;
            parseStatementList(s->body, "until");
            --loops_;
            expectKw("until");
            s->expr = condition(parseExpr());
            return s;
        }
        if (acceptKw("for")) return parseFor(at);
        if (acceptKw("case")) return parseCase(at);
        if (isKw("with") || isKw("try") || isKw("raise") || isKw("goto"))
            fail("'" + tok().text + "' n'est pas pris en charge");
        if (is(Tok::Ident)) return parseSimpleStatement(at);
        fail("Instruction attendue mais '" + tokenText(tok()) + "' trouvé");
    }

    ExprPtr condition(ExprPtr e) {
        if (e->type->kind != Kind::Boolean) failAt(tokAt(*e), "Expression booléenne attendue");
        return e;
    }

    Token tokAt(const Expr& e) const {
        Token t;
        t.line = e.line;
        t.column = e.column;
        return t;
    }

    StmtPtr parseFor(const Token& at) {
        auto s = makeStmt(Stmt::Op::For, at);
        const Token vt = tok();
        const Symbol* sym = is(Tok::Ident) ? lookup(tok().text) : nullptr;
        if (!sym || sym->k != Symbol::K::Var) failAt(vt, "Variable de boucle attendue");
        if (!sym->type->isOrdinal()) failAt(vt, "La variable de boucle doit être de type ordinal");
        s->target = varExpr(*sym, vt);
        next();
        expect(Tok::Assign, ":=");
        s->expr = coerce(parseExpr(), sym->type);
        if (acceptKw("downto"))
            s->downto = true;
        else
            expectKw("to");
        s->expr2 = coerce(parseExpr(), sym->type);
        expectKw("do");
        ++loops_;
        s->body.push_back(parseStatement());
        --loops_;
        return s;
    }

    StmtPtr parseCase(const Token& at) {
        auto s = makeStmt(Stmt::Op::Case, at);
        s->expr = parseExpr();
        const TypePtr sel = s->expr->type;
        if (!sel->isOrdinal() && sel->kind != Kind::String)
            failAt(at, "Sélecteur de 'case' ordinal ou chaîne attendu");
        expectKw("of");
        while (!isKw("else") && !isKw("end")) {
            CaseBranch b;
            do {
                Value lo = foldValue(*constExpr(sel));
                Value hi = lo;
                if (accept(Tok::DotDot)) hi = foldValue(*constExpr(sel));
                b.ranges.emplace_back(std::move(lo), std::move(hi));
            } while (accept(Tok::Comma));
            expect(Tok::Colon, ":");
            b.body = parseStatement();
            s->branches.push_back(std::move(b));
            if (!accept(Tok::Semicolon)) break;
        }
        if (acceptKw("else")) parseStatementList(s->body, "end");
        expectKw("end");
        return s;
    }

    ExprPtr constExpr(const TypePtr& type) {
        const Token at = tok();
        ExprPtr e = coerce(parseSimple(), type);
        if (!e->constant) failAt(at, "Expression constante attendue");
        return e;
    }

    StmtPtr parseSimpleStatement(const Token& at) {
        const std::string& key = tok().text;
        if (const Symbol* s = lookup(key); s && s->k == Symbol::K::Builtin &&
                                           (s->builtin == Builtin::Exit || s->builtin == Builtin::Break ||
                                            s->builtin == Builtin::Continue)) {
            next();
            auto st = makeStmt(Stmt::Op::Call, at);
            auto e = makeExpr(Expr::Op::BuiltinCall, at, voidType());
            e->builtin = s->builtin;
            if (s->builtin != Builtin::Exit && loops_ == 0)
                failAt(at, "'" + at.spelling + "' hors d'une boucle");
            if (s->builtin == Builtin::Exit && accept(Tok::LParen)) {
                if (!current_ || current_->result->kind == Kind::Void)
                    failAt(at, "'Exit' avec une valeur hors d'une fonction");
                auto target = makeExpr(Expr::Op::Var, at, current_->result);
                target->storage = Storage::Local;
                target->slot = current_->resultSlot;
                e->args.push_back(std::move(target));
                e->args.push_back(coerce(parseExpr(), current_->result));
                expect(Tok::RParen, ")");
            }
            st->expr = std::move(e);
            return st;
        }
        // Assigning to the function's own name sets its result.
        if (current_ && current_->result->kind != Kind::Void && peekTok().kind == Tok::Assign &&
            key == lowerAscii(current_->name)) {
            next();
            next();
            auto st = makeStmt(Stmt::Op::Assign, at);
            st->target = makeExpr(Expr::Op::Var, at, current_->result);
            st->target->storage = Storage::Local;
            st->target->slot = current_->resultSlot;
            st->expr = coerce(parseExpr(), current_->result);
            return st;
        }
        ExprPtr d = parseDesignator(true);
        if (is(Tok::Assign)) {
            const Token asg = tok();
            next();
            if (!isLValue(*d) && d->op != Expr::Op::StrIndex)
                failAt(at, "Affectation impossible : ce n'est pas une variable");
            auto st = makeStmt(Stmt::Op::Assign, asg);
            ExprPtr value = coerce(parseExpr(), d->type);
            st->target = std::move(d);
            st->expr = std::move(value);
            return st;
        }
        if (d->op != Expr::Op::Call && d->op != Expr::Op::NativeCall && d->op != Expr::Op::BuiltinCall &&
            !(d->op == Expr::Op::Const && d->type->kind == Kind::Void))
            failAt(at, "Instruction attendue");
        auto st = makeStmt(Stmt::Op::Call, at);
        st->expr = std::move(d);
        return st;
    }

    static bool isLValue(const Expr& e) {
        switch (e.op) {
            case Expr::Op::Var:
                return true;
            case Expr::Op::Field:
                return e.args[0]->type->kind == Kind::Object || isLValue(*e.args[0]);
            case Expr::Op::Index:
                return isLValue(*e.args[0]);
            default:
                return false;
        }
    }

    // ---- expressions --------------------------------------------------------------------
    ExprPtr makeExpr(Expr::Op op, const Token& at, TypePtr type) {
        auto e = std::make_unique<Expr>();
        e->op = op;
        e->line = at.line;
        e->column = at.column;
        e->type = std::move(type);
        return e;
    }

    void addArg(Expr& parent, ExprPtr child) {
        parent.height = std::max(parent.height, child->height + 1);
        if (parent.height > kMaxExprHeight)
            throw CompileError(parent.line, parent.column, "Expression trop complexe");
        parent.args.push_back(std::move(child));
    }

    ExprPtr varExpr(const Symbol& s, const Token& at) {
        auto e = makeExpr(Expr::Op::Var, at, s.type);
        e->storage = s.storage;
        e->slot = s.slot;
        return e;
    }

    ExprPtr constant(Value v, TypePtr type, const Token& at) {
        auto e = makeExpr(Expr::Op::Const, at, std::move(type));
        e->value = std::move(v);
        e->constant = true;
        return e;
    }

    Value foldValue(const Expr& e) {
        try {
            return evaluateConstant(e);
        } catch (const RuntimeError& err) {
            throw CompileError(e.line, e.column, err.what());
        }
    }

    // Replaces a constant expression by its value.
    ExprPtr fold(ExprPtr e) {
        if (!e->constant || e->op == Expr::Op::Const) return e;
        return constant(foldValue(*e), e->type, tokAt(*e));
    }

    [[noreturn]] void mismatch(const Expr& e, const Type& want) {
        if (e.type->kind == Kind::Void)
            throw CompileError(e.line, e.column, "Une procédure ne renvoie pas de valeur");
        throw CompileError(
            e.line, e.column,
            "Types incompatibles : '" + typeName(want) + "' attendu, '" + typeName(*e.type) + "' trouvé");
    }

    ExprPtr coerce(ExprPtr e, const TypePtr& want) {
        const Type& w = *want;
        const Type& h = *e->type;
        if (h.kind == Kind::Void) mismatch(*e, w);
        if (&w == &h) return e;
        if (e->op == Expr::Op::BracketList && (w.kind == Kind::Set || w.kind == Kind::Array)) {
            if (w.kind == Kind::Array && w.isStatic &&
                static_cast<int64_t>(e->args.size()) != w.high - w.low + 1)
                mismatch(*e, w);
            for (auto& a : e->args) {
                if (w.kind == Kind::Set && !(a->type->kind == Kind::Enum && a->type.get() == w.element.get()))
                    mismatch(*a, *w.element);
                a = coerce(std::move(a), w.element);
            }
            e->type = want;
            return e;
        }
        switch (w.kind) {
            case Kind::Double:
                if (h.kind == Kind::Integer) {
                    auto c = makeExpr(Expr::Op::ToDouble, tokAt(*e), doubleType());
                    c->constant = e->constant;
                    addArg(*c, std::move(e));
                    return fold(std::move(c));
                }
                break;
            case Kind::Object:
                if (h.kind == Kind::Nil || (h.kind == Kind::Object && h.derivesFrom(w))) return e;
                break;
            default:
                break;
        }
        if (sameType(w, h)) return e;
        mismatch(*e, w);
    }

    ExprPtr parseExpr() {
        DepthGuard guard(*this);
        ExprPtr left = parseSimple();
        for (;;) {
            const Token at = tok();
            const bool rel = is(Tok::Eq) || is(Tok::NotEq) || is(Tok::Less) || is(Tok::Greater) ||
                             is(Tok::LessEq) || is(Tok::GreaterEq) || isKw("in");
            if (!rel) return left;
            next();
            ExprPtr right = parseSimple();
            left = binary(at, std::move(left), std::move(right));
        }
    }

    ExprPtr parseSimple() {
        DepthGuard guard(*this);
        const Token at = tok();
        ExprPtr left;
        if (is(Tok::Minus) || is(Tok::Plus)) {
            next();
            left = unary(at, parseTerm());
        } else {
            left = parseTerm();
        }
        while (is(Tok::Plus) || is(Tok::Minus) || isKw("or") || isKw("xor")) {
            const Token op = tok();
            next();
            left = binary(op, std::move(left), parseTerm());
        }
        return left;
    }

    ExprPtr parseTerm() {
        ExprPtr left = parseFactor();
        while (is(Tok::Star) || is(Tok::Slash) || isKw("div") || isKw("mod") || isKw("and") || isKw("shl") ||
               isKw("shr")) {
            const Token op = tok();
            next();
            left = binary(op, std::move(left), parseFactor());
        }
        return left;
    }

    ExprPtr parseFactor() {
        DepthGuard guard(*this);
        const Token at = tok();
        switch (at.kind) {
            case Tok::Integer:
                next();
                return constant(Value::integer(at.integer), integerType(), at);
            case Tok::Real:
                next();
                return constant(Value::real(at.real), doubleType(), at);
            case Tok::String:
                next();
                return constant(Value::string(at.text), stringType(), at);
            case Tok::LParen: {
                next();
                ExprPtr e = parseExpr();
                expect(Tok::RParen, ")");
                return postfix(std::move(e));
            }
            case Tok::LBracket:
                return parseBracketList();
            case Tok::Minus:
            case Tok::Plus:
                next();
                return unary(at, parseFactor());
            case Tok::Keyword:
                if (at.text == "not") {
                    next();
                    return unary(at, parseFactor());
                }
                if (at.text == "nil") {
                    next();
                    return constant(Value{}, nilType(), at);
                }
                break;
            case Tok::Ident:
                return parseDesignator(false);
            default:
                break;
        }
        if (is(Tok::End)) fail("Fin du texte inattendue : expression attendue");
        fail("Expression attendue mais '" + tokenText(at) + "' trouvé");
    }

    ExprPtr parseBracketList() {
        const Token at = tok();
        next();
        auto e = makeExpr(Expr::Op::BracketList, at, nullptr);
        e->constant = true;
        if (!is(Tok::RBracket)) {
            do {
                ExprPtr item = parseExpr();
                if (accept(Tok::DotDot))
                    failAt(at, "Les intervalles dans les ensembles ne sont pas pris en charge");
                e->constant = e->constant && item->constant;
                addArg(*e, std::move(item));
            } while (accept(Tok::Comma));
        }
        expect(Tok::RBracket, "]");
        // Without a context, [enum values] is a set and anything else an array of the items' type.
        if (e->args.empty()) {
            auto t = makeType(Kind::Array);
            t->element = integerType();
            prog_.types.push_back(t);
            e->type = t;
            return e;
        }
        TypePtr elem = e->args[0]->type;
        for (const auto& a : e->args) {
            if (a->type->kind == Kind::Double && elem->kind == Kind::Integer) elem = a->type;
        }
        if (elem->kind == Kind::Void || elem->kind == Kind::Nil) mismatch(*e->args[0], *integerType());
        for (auto& a : e->args) a = coerce(std::move(a), elem);
        auto t = makeType(elem->kind == Kind::Enum ? Kind::Set : Kind::Array);
        t->element = elem;
        prog_.types.push_back(t);
        e->type = t;
        return e;
    }

    std::vector<ExprPtr> parseArgs() {
        std::vector<ExprPtr> args;
        if (accept(Tok::LParen)) {
            if (!is(Tok::RParen)) {
                do args.push_back(parseExpr());
                while (accept(Tok::Comma));
            }
            expect(Tok::RParen, ")");
        }
        return args;
    }

    ExprPtr parseDesignator(bool statement) {
        const Token at = tok();
        const Symbol* s = lookup(at.text);
        if (!s) failAt(at, "Identificateur inconnu '" + at.spelling + "'");
        next();
        switch (s->k) {
            case Symbol::K::Const:
                return postfix(constant(s->value, s->type, at));
            case Symbol::K::Var:
                return postfix(varExpr(*s, at));
            case Symbol::K::Routine: {
                Routine* r = s->routine;
                std::vector<ExprPtr> args = parseArgs();
                return postfix(call(at, r, std::move(args)));
            }
            case Symbol::K::Builtin: {
                const Builtin b = s->builtin;
                if (b == Builtin::Exit || b == Builtin::Break || b == Builtin::Continue)
                    failAt(at, "'" + at.spelling + "' ne peut pas être utilisé dans une expression");
                std::vector<ExprPtr> args = parseArgs();
                return postfix(builtinCall(at, b, std::move(args), statement));
            }
            case Symbol::K::Type: {
                const TypePtr t = s->type;
                if (accept(Tok::Dot)) {
                    const Token mt = tok();
                    const std::string m = expectIdent();
                    if (t->kind != Kind::Object || m != "create")
                        failAt(mt, "Méthode inconnue '" + mt.spelling + "'");
                    parseArgs();
                    return postfix(makeExpr(Expr::Op::NewObject, at, t));
                }
                if (!is(Tok::LParen)) failAt(at, "Type utilisé comme valeur '" + at.spelling + "'");
                std::vector<ExprPtr> args = parseArgs();
                if (args.size() != 1) failAt(at, "Un seul argument attendu pour le transtypage");
                return postfix(cast(at, t, std::move(args[0])));
            }
        }
        failAt(at, "Identificateur inconnu '" + at.spelling + "'");
    }

    ExprPtr cast(const Token& at, const TypePtr& t, ExprPtr arg) {
        const Type& from = *arg->type;
        if (t->isOrdinal() && from.isOrdinal()) {
            auto e = makeExpr(Expr::Op::Cast, at, t);
            e->constant = arg->constant;
            addArg(*e, std::move(arg));
            return fold(std::move(e));
        }
        return coerce(std::move(arg), t);
    }

    ExprPtr postfix(ExprPtr e) {
        for (;;) {
            const Token at = tok();
            if (accept(Tok::Dot)) {
                const Token ft = tok();
                const std::string name = expectIdent();
                const Type& t = *e->type;
                if (t.kind == Kind::Object && (name == "free" || name == "destroy")) {
                    parseArgs();
                    // Objects are shared and released with their last reference.
                    e = constant(Value{}, voidType(), at);
                    continue;
                }
                if (t.kind != Kind::Record && t.kind != Kind::Object)
                    failAt(ft, "Enregistrement ou objet attendu");
                const int fi = t.fieldIndex(name);
                if (fi < 0) failAt(ft, "Champ inconnu '" + ft.spelling + "'");
                auto f = makeExpr(Expr::Op::Field, ft, t.fields[static_cast<size_t>(fi)].type);
                f->slot = fi;
                addArg(*f, std::move(e));
                e = std::move(f);
            } else if (accept(Tok::LBracket)) {
                do {
                    ExprPtr index = parseExpr();
                    if (index->type->kind != Kind::Integer && index->type->kind != Kind::Enum)
                        failAt(tokAt(*index), "Indice entier attendu");
                    const Type& t = *e->type;
                    ExprPtr ix;
                    if (t.kind == Kind::String) {
                        ix = makeExpr(Expr::Op::StrIndex, at, stringType());
                    } else if (t.kind == Kind::Array) {
                        ix = makeExpr(Expr::Op::Index, at, t.element);
                    } else {
                        failAt(at, "Tableau ou chaîne attendu");
                    }
                    ix->constant = e->constant && index->constant;
                    addArg(*ix, std::move(e));
                    addArg(*ix, std::move(index));
                    e = fold(std::move(ix));
                } while (accept(Tok::Comma));
                expect(Tok::RBracket, "]");
            } else {
                return e;
            }
        }
    }

    ExprPtr call(const Token& at, Routine* r, std::vector<ExprPtr> args) {
        if (args.size() != r->params.size())
            failAt(at, "Nombre de paramètres incorrect pour '" + r->name +
                           "' : " + std::to_string(r->params.size()) + " attendu(s), " +
                           std::to_string(args.size()) + " donné(s)");
        auto e = makeExpr(r->native ? Expr::Op::NativeCall : Expr::Op::Call, at, r->result);
        e->routine = r;
        for (size_t i = 0; i < args.size(); ++i) {
            const Param& prm = r->params[i];
            if (prm.byRef) {
                if (!isLValue(*args[i]))
                    failAt(tokAt(*args[i]), "Variable attendue pour le paramètre '" + prm.name + "'");
                if (!sameType(*args[i]->type, *prm.type)) mismatch(*args[i], *prm.type);
                addArg(*e, std::move(args[i]));
            } else {
                addArg(*e, coerce(std::move(args[i]), prm.type));
            }
        }
        return e;
    }

    ExprPtr unary(const Token& at, ExprPtr operand) {
        const Type& t = *operand->type;
        auto e = makeExpr(Expr::Op::Unary, at, operand->type);
        e->oper = at.kind;
        e->operWord = at.kind == Tok::Keyword ? at.text : std::string();
        if (at.kind == Tok::Keyword) {  // not
            if (t.kind != Kind::Boolean && t.kind != Kind::Integer) mismatch(*operand, *booleanType());
        } else if (!isNumeric(t)) {
            mismatch(*operand, *integerType());
        }
        e->constant = operand->constant;
        addArg(*e, std::move(operand));
        return fold(std::move(e));
    }

    ExprPtr binary(const Token& at, ExprPtr l, ExprPtr r) {
        const std::string word = at.kind == Tok::Keyword ? at.text : std::string();
        auto numericPair = [&](bool forceDouble) -> TypePtr {
            if (!isNumeric(*l->type)) mismatch(*l, *doubleType());
            if (!isNumeric(*r->type)) mismatch(*r, *doubleType());
            if (forceDouble || l->type->kind == Kind::Double || r->type->kind == Kind::Double) {
                l = coerce(std::move(l), doubleType());
                r = coerce(std::move(r), doubleType());
                return doubleType();
            }
            return integerType();
        };
        TypePtr result;
        const Kind lk = l->type->kind, rk = r->type->kind;
        switch (at.kind) {
            case Tok::Plus:
                if (lk == Kind::String || rk == Kind::String) {
                    if (lk != Kind::String) mismatch(*l, *stringType());
                    if (rk != Kind::String) mismatch(*r, *stringType());
                    result = stringType();
                    break;
                }
                [[fallthrough]];
            case Tok::Minus:
            case Tok::Star:
                if (lk == Kind::Set || rk == Kind::Set) {
                    TypePtr st = lk == Kind::Set ? l->type : r->type;
                    l = coerce(std::move(l), st);
                    r = coerce(std::move(r), st);
                    result = st;
                    break;
                }
                result = numericPair(false);
                break;
            case Tok::Slash:
                result = numericPair(true);
                break;
            case Tok::Keyword:
                if (word == "div" || word == "mod" || word == "shl" || word == "shr") {
                    if (lk != Kind::Integer) mismatch(*l, *integerType());
                    if (rk != Kind::Integer) mismatch(*r, *integerType());
                    result = integerType();
                } else if (word == "and" || word == "or" || word == "xor") {
                    if (lk == Kind::Integer && rk == Kind::Integer) {
                        result = integerType();
                    } else {
                        if (lk != Kind::Boolean) mismatch(*l, *booleanType());
                        if (rk != Kind::Boolean) mismatch(*r, *booleanType());
                        result = booleanType();
                    }
                } else if (word == "in") {
                    if (rk == Kind::Set) {
                        l = coerce(std::move(l), r->type->element);
                    } else if (rk == Kind::Array) {
                        l = coerce(std::move(l), r->type->element);
                    } else {
                        mismatch(*r, *l->type);
                    }
                    result = booleanType();
                }
                break;
            default: {  // comparisons
                if (isNumeric(*l->type) && isNumeric(*r->type)) {
                    numericPair(false);
                } else if (lk == Kind::Object || lk == Kind::Nil || rk == Kind::Object || rk == Kind::Nil) {
                    if (at.kind != Tok::Eq && at.kind != Tok::NotEq) mismatch(*r, *l->type);
                    if (!((lk == Kind::Object || lk == Kind::Nil) && (rk == Kind::Object || rk == Kind::Nil)))
                        mismatch(*r, *l->type);
                } else if (lk == Kind::Set || rk == Kind::Set) {
                    if (at.kind != Tok::Eq && at.kind != Tok::NotEq) mismatch(*r, *l->type);
                    TypePtr st = lk == Kind::Set ? l->type : r->type;
                    l = coerce(std::move(l), st);
                    r = coerce(std::move(r), st);
                } else {
                    if (lk != Kind::String && lk != Kind::Boolean && lk != Kind::Enum)
                        mismatch(*l, *integerType());
                    r = coerce(std::move(r), l->type);
                }
                result = booleanType();
            }
        }
        auto e = makeExpr(Expr::Op::Binary, at, result);
        e->oper = at.kind;
        e->operWord = word;
        e->constant = l->constant && r->constant;
        addArg(*e, std::move(l));
        addArg(*e, std::move(r));
        return fold(std::move(e));
    }

    ExprPtr builtinCall(const Token& at, Builtin b, std::vector<ExprPtr> args, bool statement);

    Program& prog_;
    const ScriptDeclarations& decls_;
    std::vector<std::string>& warnings_;
    std::vector<Token> toks_;
    size_t p_ = 0;
    std::vector<Scope> scopes_;
    Routine* current_ = nullptr;
    std::vector<StmtPtr> localInits_;
    int depth_ = 0;
    int loops_ = 0;
};

ExprPtr Compiler::builtinCall(const Token& at, Builtin b, std::vector<ExprPtr> args, bool statement) {
    auto count = [&](size_t lo, size_t hi) {
        if (args.size() < lo || args.size() > hi)
            failAt(at, "Nombre de paramètres incorrect pour '" + at.spelling + "'");
    };
    auto want = [&](size_t i, const TypePtr& t) { args[i] = coerce(std::move(args[i]), t); };
    auto lvalue = [&](size_t i) {
        if (!isLValue(*args[i])) failAt(tokAt(*args[i]), "Variable attendue");
    };
    TypePtr result = voidType();
    bool pure = true;
    switch (b) {
        case Builtin::Length:
            count(1, 1);
            if (args[0]->type->kind != Kind::String && args[0]->type->kind != Kind::Array)
                mismatch(*args[0], *stringType());
            result = integerType();
            break;
        case Builtin::High:
        case Builtin::Low:
            count(1, 1);
            if (args[0]->type->kind != Kind::String && args[0]->type->kind != Kind::Array)
                mismatch(*args[0], *stringType());
            result = integerType();
            break;
        case Builtin::Ord:
            count(1, 1);
            if (!args[0]->type->isOrdinal() && args[0]->type->kind != Kind::String)
                mismatch(*args[0], *integerType());
            result = integerType();
            break;
        case Builtin::Succ:
        case Builtin::Pred:
            count(1, 1);
            if (!args[0]->type->isOrdinal()) mismatch(*args[0], *integerType());
            result = args[0]->type;
            break;
        case Builtin::Chr:
            count(1, 1);
            want(0, integerType());
            result = stringType();
            break;
        case Builtin::IntToStr:
            count(1, 1);
            want(0, integerType());
            result = stringType();
            break;
        case Builtin::StrToInt:
            count(1, 1);
            want(0, stringType());
            result = integerType();
            break;
        case Builtin::StrToIntDef:
            count(2, 2);
            want(0, stringType());
            want(1, integerType());
            result = integerType();
            break;
        case Builtin::FloatToStr:
            count(1, 1);
            want(0, doubleType());
            result = stringType();
            break;
        case Builtin::StrToFloat:
            count(1, 1);
            want(0, stringType());
            result = doubleType();
            break;
        case Builtin::BoolToStr:
            count(1, 1);
            want(0, booleanType());
            result = stringType();
            break;
        case Builtin::Copy:
            count(2, 3);
            want(0, stringType());
            want(1, integerType());
            if (args.size() == 3) want(2, integerType());
            result = stringType();
            break;
        case Builtin::Pos:
            count(2, 2);
            want(0, stringType());
            want(1, stringType());
            result = integerType();
            break;
        case Builtin::UpperCase:
        case Builtin::LowerCase:
        case Builtin::Trim:
        case Builtin::TrimLeft:
        case Builtin::TrimRight:
        case Builtin::QuotedStr:
            count(1, 1);
            want(0, stringType());
            result = stringType();
            break;
        case Builtin::Abs:
        case Builtin::Sqr:
            count(1, 1);
            if (!isNumeric(*args[0]->type)) mismatch(*args[0], *doubleType());
            result = args[0]->type;
            break;
        case Builtin::Sqrt:
        case Builtin::Frac:
        case Builtin::Int:
            count(1, 1);
            want(0, doubleType());
            result = doubleType();
            break;
        case Builtin::Round:
        case Builtin::Trunc:
            count(1, 1);
            want(0, doubleType());
            result = integerType();
            break;
        case Builtin::Odd:
            count(1, 1);
            want(0, integerType());
            result = booleanType();
            break;
        case Builtin::IntToHex:
            count(2, 2);
            want(0, integerType());
            want(1, integerType());
            result = stringType();
            break;
        case Builtin::StringOfChar:
            count(2, 2);
            want(0, stringType());
            want(1, integerType());
            result = stringType();
            break;
        case Builtin::Assigned:
            count(1, 1);
            if (args[0]->type->kind != Kind::Object && args[0]->type->kind != Kind::Nil)
                mismatch(*args[0], *nilType());
            result = booleanType();
            pure = false;
            break;
        case Builtin::Inc:
        case Builtin::Dec:
            count(1, 2);
            lvalue(0);
            if (!args[0]->type->isOrdinal()) mismatch(*args[0], *integerType());
            if (args.size() == 2) want(1, integerType());
            pure = false;
            break;
        case Builtin::SetLength:
            count(2, 2);
            lvalue(0);
            if (args[0]->type->kind != Kind::String &&
                !(args[0]->type->kind == Kind::Array && !args[0]->type->isStatic))
                mismatch(*args[0], *stringType());
            want(1, integerType());
            pure = false;
            break;
        case Builtin::Delete:
            count(3, 3);
            lvalue(0);
            want(0, stringType());
            want(1, integerType());
            want(2, integerType());
            pure = false;
            break;
        case Builtin::Insert:
            count(3, 3);
            want(0, stringType());
            lvalue(1);
            want(1, stringType());
            want(2, integerType());
            pure = false;
            break;
        default:
            failAt(at, "Routine inconnue '" + at.spelling + "'");
    }
    if (result->kind == Kind::Void && !statement) failAt(at, "Une procédure ne renvoie pas de valeur");
    auto e = makeExpr(Expr::Op::BuiltinCall, at, result);
    e->builtin = b;
    e->constant = pure;
    for (auto& a : args) {
        e->constant = e->constant && a->constant;
        addArg(*e, std::move(a));
    }
    return fold(std::move(e));
}

}  // namespace

std::shared_ptr<Program> compileProgram(const std::string& source, const ScriptDeclarations& declarations,
                                        std::vector<std::string>& warnings) {
    auto program = std::make_shared<Program>();
    Compiler(*program, declarations, warnings).compile(source);
    return program;
}

}  // namespace velinor::script
