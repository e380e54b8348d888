#pragma once
// Inner pieces of the script engine shared by its lexer, compiler and interpreter: tokens, the
// typed syntax tree and the compiled program. Not for use outside src/actions/script.
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "actions/script/script_declarations.h"
#include "actions/script/script_value.h"

namespace velinor::script {

struct CompileError : std::runtime_error {
    CompileError(int l, int c, const std::string& text) : std::runtime_error(text), line(l), column(c) {}
    int line, column;
};

enum class Tok {
    End,
    Ident,
    Keyword,
    Integer,
    Real,
    String,
    Plus,
    Minus,
    Star,
    Slash,
    Eq,
    NotEq,
    Less,
    Greater,
    LessEq,
    GreaterEq,
    Assign,
    Colon,
    Semicolon,
    Comma,
    Dot,
    DotDot,
    LParen,
    RParen,
    LBracket,
    RBracket,
    Caret,
    At
};

struct Token {
    Tok kind = Tok::End;
    std::string text;      // identifiers and keywords: lower-cased; strings: the decoded value
    std::string spelling;  // identifiers as written
    int64_t integer = 0;
    double real = 0;
    int line = 1, column = 1;
};

// Splits UTF-8 source into tokens. Comments ({ }, (* *), //) and {$…} directives are skipped.
std::vector<Token> tokenize(const std::string& source);
std::string tokenText(const Token& token);

struct Routine;
struct Expr;
struct Stmt;
using ExprPtr = std::unique_ptr<Expr>;
using StmtPtr = std::unique_ptr<Stmt>;

enum class Builtin {
    None,
    Length,
    High,
    Low,
    Ord,
    Chr,
    Succ,
    Pred,
    IntToStr,
    StrToInt,
    StrToIntDef,
    FloatToStr,
    StrToFloat,
    Copy,
    Pos,
    UpperCase,
    LowerCase,
    Trim,
    TrimLeft,
    TrimRight,
    Abs,
    Sqr,
    Sqrt,
    Round,
    Trunc,
    Odd,
    IntToHex,
    StringOfChar,
    QuotedStr,
    Assigned,
    BoolToStr,
    Frac,
    Int,
    // procedures
    Inc,
    Dec,
    SetLength,
    Delete,
    Insert,
    Exit,
    Break,
    Continue
};

enum class Storage { Global, Local, Ref };

struct Expr {
    enum class Op {
        Const,
        Var,
        Field,
        Index,
        StrIndex,
        Call,
        NativeCall,
        BuiltinCall,
        Unary,
        Binary,
        ToDouble,
        BracketList,
        NewObject,
        Cast
    };
    Op op = Op::Const;
    TypePtr type;
    int line = 0, column = 0;
    bool constant = false;  // folds to a constant
    Value value;            // Const
    Storage storage = Storage::Global;
    int slot = 0;          // Var; Field: field index
    Tok oper = Tok::End;   // Unary, Binary
    std::string operWord;  // div, mod, and, or, xor, shl, shr, not, in
    Routine* routine = nullptr;
    Builtin builtin = Builtin::None;
    int height =
        1;  // longest chain of sub-expressions below, bounded so evaluation cannot overflow the stack
    std::vector<ExprPtr> args;
};

struct CaseBranch {
    std::vector<std::pair<Value, Value>> ranges;  // inclusive; single labels have both ends equal
    StmtPtr body;
};

struct Stmt {
    enum class Op { Block, Assign, Call, If, Case, While, Repeat, For, Empty };
    Op op = Op::Empty;
    int line = 0, column = 0;
    ExprPtr target;  // Assign; For: the loop variable
    ExprPtr expr;    // Assign value, Call, conditions, case selector, For start
    ExprPtr expr2;   // For end
    bool downto = false;
    std::vector<StmtPtr> body;  // Block, Repeat; If: then [, else]; While/For: body; Case: else part
    std::vector<CaseBranch> branches;
};

struct Param {
    std::string name;
    TypePtr type;
    bool byRef = false;  // var and out
};

struct Routine {
    std::string name;
    std::vector<Param> params;
    TypePtr result;  // voidType for procedures
    NativeRoutine native;
    StmtPtr body;
    bool defined = false;
    int line = 0, column = 0;
    // Frame: value parameters and locals in `locals`, var parameters in `refs`.
    std::vector<TypePtr> localTypes;
    std::vector<int> paramSlot;  // per parameter: index in locals or refs
    int resultSlot = -1;
    int refCount = 0;
};

struct Program {
    std::vector<std::unique_ptr<Routine>> routines;
    std::vector<TypePtr> types;  // keeps script and host types alive
    std::vector<TypePtr> globalTypes;
    std::vector<std::string> globalNames;              // lower-cased
    std::vector<std::pair<int, ExprPtr>> globalInits;  // initialised variables and typed constants
    StmtPtr main;
};

// Compiles source against declarations; throws CompileError at the first fault of the script.
// A faulty host declaration is left out and described in `warnings`, so one bad declaration
// does not make every script fail.
std::shared_ptr<Program> compileProgram(const std::string& source, const ScriptDeclarations& declarations,
                                        std::vector<std::string>& warnings);

// The standard routines of every script.
Builtin builtinByName(const std::string& lowerName);

// Raised by the interpreter; carries the position of the expression or statement that failed.
struct RuntimeError : std::runtime_error {
    RuntimeError(int l, int c, const std::string& text) : std::runtime_error(text), line(l), column(c) {}
    int line, column;
};

// Evaluates an expression made only of constants (folding at compile time). Throws RuntimeError.
Value evaluateConstant(const Expr& expr);

// String helpers that count characters, not bytes, as the script's string routines do.
std::u32string toChars(const std::string& utf8);
std::string fromChars(const std::u32string& chars);
std::string formatDouble(double value);  // general form, up to 15 significant digits, '.' separator

}  // namespace velinor::script
