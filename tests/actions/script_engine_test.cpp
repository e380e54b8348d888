// The script language: programs that run and what they leave in their variables, compile errors and
// runtime errors with their positions, interruption from another thread, and bounded nesting.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "actions/script/script_engine.h"
#include "actions/script/script_internal.h"

namespace velinor::script {
namespace {

std::string show(const Value& v) {
    if (auto i = std::get_if<int64_t>(&v.data)) return std::to_string(*i);
    if (auto d = std::get_if<double>(&v.data)) return formatDouble(*d);
    if (auto b = std::get_if<bool>(&v.data)) return *b ? "True" : "False";
    if (auto s = std::get_if<std::string>(&v.data)) return *s;
    if (auto a = std::get_if<std::shared_ptr<Aggregate>>(&v.data)) {
        std::string out = "[";
        for (size_t i = 0; i < (*a)->items.size(); ++i) out += (i ? "," : "") + show((*a)->items[i]);
        return out + "]";
    }
    return "nil";
}

struct RunCase {
    const char* name;
    const char* source;
    const char* variable;
    const char* expected;
};

const RunCase kRuns[] = {
    {"precedence", "var r: Integer; begin r := 2 + 3 * 4 - 10 div 3 mod 2; end.", "r", "13"},
    {"unary and parens", "var r: Integer; begin r := -(2 + 3) * -2; end.", "r", "10"},
    {"real division", "var r: Double; begin r := 7 / 2; end.", "r", "3.5"},
    {"mixed numbers", "var r: Double; i: Integer; begin i := 3; r := i * 1.5 + 1; end.", "r", "5.5"},
    {"shifts and bits", "var r: Integer; begin r := (1 shl 10) or (255 shr 4) xor 3 and 6; end.", "r",
     "1037"},
    {"not on integers", "var r: Integer; begin r := not 0; end.", "r", "-1"},
    {"boolean logic", "var b: Boolean; begin b := not (1 > 2) and (3 >= 3) or False; end.", "b", "True"},
    {"boolean xor", "var b: Boolean; begin b := True xor True; end.", "b", "False"},
    {"short circuit", "var b: Boolean; s: string; begin s := ''; b := (Length(s) > 0) and (s[1] = 'x'); end.",
     "b", "False"},
    {"string quoting", "var s: string; begin s := 'it''s' + #32 + 'ok'#33; end.", "s", "it's ok!"},
    {"char codes", "var s: string; begin s := #13#10; end.", "s", "\r\n"},
    {"hex char code and literal", "var s: string; i: Integer; begin s := #$41; i := $FF; end.", "i", "255"},
    {"utf-8 length", "var i: Integer; begin i := Length('l''été'); end.", "i", "5"},
    {"string index", "var s: string; begin s := 'abc'; s[2] := 'X'; s := s + s[1]; end.", "s", "aXca"},
    {"string functions",
     "var s: string; begin s := UpperCase(Copy('bonjour', 4, 3)) + IntToStr(Pos('j', 'bonjour')); end.", "s",
     "JOU4"},
    {"delete and insert", "var s: string; begin s := 'abcdef'; Delete(s, 2, 2); Insert('XY', s, 1); end.",
     "s", "XYadef"},
    {"string comparison", "var b: Boolean; begin b := ('abc' < 'abd') and ('b' > 'a'); end.", "b", "True"},
    {"conversions",
     "var s: string; begin s := IntToStr(StrToInt(' 42 ') + StrToIntDef('x', 1)) + FloatToStr(0.25); end.",
     "s", "430.25"},
    {"real texts",
     "var s: string; begin s := FloatToStr(StrToFloat('1,5') + StrToFloat(' 2.25 ')) + ' ' + "
     "FloatToStr(2.5e20) + ' ' + FloatToStr(1/3); end.",
     "s", "3.75 2.5E+20 0.333333333333333"},
    {"round and trunc", "var i: Integer; begin i := Round(2.5) * 100 + Round(3.5) * 10 + Trunc(-1.7); end.",
     "i", "239"},
    {"if else", "var r: Integer; begin if 1 > 2 then r := 1 else if 2 > 1 then r := 2 else r := 3; end.", "r",
     "2"},
    {"case with ranges",
     "var r, i: Integer; begin r := 0; for i := 1 to 10 do case i of 1, 2: r := r + 1; 3..5: r := r + 10; "
     "else r := r + 100; end; end.",
     "r", "532"},
    {"case on strings", "var r: Integer; begin case 'b' of 'a': r := 1; 'b': r := 2; end; end.", "r", "2"},
    {"while loop",
     "var i, s: Integer; begin i := 0; s := 0; while i < 5 do begin i := i + 1; s := s + i; end; end.", "s",
     "15"},
    {"repeat loop", "var i: Integer; begin i := 0; repeat Inc(i, 3) until i > 10; end.", "i", "12"},
    {"for downto",
     "var i: Integer; s: string; begin s := ''; for i := 3 downto 1 do s := s + IntToStr(i); end.", "s",
     "321"},
    {"for empty range", "var i, n: Integer; begin n := 0; for i := 5 to 1 do n := n + 1; end.", "n", "0"},
    {"break and continue",
     "var i, s: Integer; begin s := 0; for i := 1 to 100 do begin if i mod 2 = 0 then continue; if i > 9 "
     "then break; "
     "s := s + i; end; end.",
     "s", "25"},
    {"function result and recursion",
     "function Fact(n: Integer): Integer; begin if n <= 1 then Result := 1 else Result := n * Fact(n - 1); "
     "end;\n"
     "var r: Integer; begin r := Fact(10); end.",
     "r", "3628800"},
    {"function name assignment",
     "function Twice(x: Integer): Integer; begin Twice := x * 2; end; var r: Integer; "
     "begin r := Twice(21); end.",
     "r", "42"},
    {"var parameters",
     "procedure Swap(var a, b: Integer); var t: Integer; begin t := a; a := b; b := t; end;\n"
     "var x, y: Integer; begin x := 1; y := 2; Swap(x, y); x := x * 10 + y; end.",
     "x", "21"},
    {"value parameters are copies",
     "procedure Change(a: Integer); begin a := 99; end; var x: Integer; begin x := 1; "
     "Change(x); end.",
     "x", "1"},
    {"exit with value",
     "function F(x: Integer): string; begin if x > 0 then Exit('pos'); Result := 'neg'; end; var s: "
     "string; begin s := F(1) + F(-1); end.",
     "s", "posneg"},
    {"forward declaration",
     "function IsEven(n: Integer): Boolean; forward;\n function IsOdd(n: Integer): Boolean; begin "
     "if n = 0 then Result := False else Result := IsEven(n - 1); end;\n function IsEven(n: "
     "Integer): Boolean; begin if n = 0 then Result := True else Result := IsOdd(n - 1); end;\n"
     "var b: Boolean; begin b := IsEven(10); end.",
     "b", "True"},
    {"constants", "const N = 3 * 4; Name = 'x' + 'y'; var s: string; begin s := Name + IntToStr(N); end.",
     "s", "xy12"},
    {"typed constant", "const Start: Integer = 5; var r: Integer; begin r := Start; end.", "r", "5"},
    {"initialised variable", "var r: Integer = 7; begin r := r + 1; end.", "r", "8"},
    {"open array literal",
     "function Sum(a: array of Integer): Integer; var i: Integer; begin Result := 0; for i := 0 to "
     "High(a) do Result := Result + a[i]; end;\nvar r: Integer; begin r := Sum([1, 2, 3, 4]); end.",
     "r", "10"},
    {"dynamic arrays",
     "var a: array of string; begin SetLength(a, 2); a[0] := 'x'; a[1] := 'y'; SetLength(a, 3); end.", "a",
     "[x,y,]"},
    {"static arrays",
     "var a: array[1..3] of Integer; i: Integer; begin for i := 1 to 3 do a[i] := i * i; end.", "a",
     "[1,4,9]"},
    {"array assignment copies", "var a, b: array of Integer; begin a := [1, 2]; b := a; b[0] := 9; end.", "a",
     "[1,2]"},
    {"records",
     "type TP = record X, Y: Integer; end; var p, q: TP; r: Integer; begin p.X := 1; p.Y := 2; q := p; q.X "
     ":= 10; r := p.X + q.X + q.Y; end.",
     "r", "13"},
    {"enumerations and sets",
     "type TC = (Red, Green, Blue); TCs = set of TC; var s: TCs; b: Boolean; begin s := [Red, Blue]; s := s "
     "+ "
     "[Green] - [Red]; b := (Green in s) and not (Red in s) and (Ord(Blue) = 2); end.",
     "b", "True"},
    {"in on a list", "var b: Boolean; begin b := (3 in [1, 2, 3]) and not ('z' in ['a', 'b']); end.", "b",
     "True"},
    {"comments and directives",
     "{$I+} // line comment\n(* block *) var r: Integer; { brace } begin r := 1 { x } ; end.", "r", "1"},
    {"case-insensitive names", "VAR Total: INTEGER; BEGIN total := 4; TOTAL := Total + 1; End.", "total",
     "5"},
    {"program header and uses", "program Demo; uses Classes; var r: Integer; begin r := 1; end.", "r", "1"},
    {"locals are fresh per call",
     "function Count: Integer; var n: Integer; begin n := n + 1; Result := n; end; var r: "
     "Integer; begin r := Count + Count; end.",
     "r", "2"},
    {"var parameter on an array item survives a resize",
     "var a: array of Integer; r: Integer;\nprocedure Grow(var x: Integer); begin SetLength(a, 100000); x := "
     "7; end;\n"
     "begin SetLength(a, 1); Grow(a[0]); r := a[0] + Length(a); end.",
     "r", "100007"},
    {"var parameter on a record field",
     "type TP = record X: Integer; end; var p: TP; procedure Set9(var v: Integer); "
     "begin v := 9; end; begin Set9(p.X); end.",
     "p", "[9]"},
    {"integer wraps", "var r: Integer; begin r := 9223372036854775807; r := r + 1; r := r div -1; end.", "r",
     "-9223372036854775808"},
};

TEST(ScriptEngine, ProgramsRunAndLeaveTheirValues) {
    for (const auto& c : kRuns) {
        ScriptEngine engine;
        ASSERT_TRUE(engine.compile(c.source, {})) << c.name << ": " << engine.messages().front().format();
        const RunOutcome out = engine.run();
        ASSERT_TRUE(out.ok) << c.name << ": " << out.error;
        const auto v = engine.global(c.variable);
        ASSERT_TRUE(v) << c.name;
        EXPECT_EQ(show(*v), c.expected) << c.name;
    }
}

struct ErrorCase {
    const char* name;
    const char* source;
    int line, column;
    const char* text;
};

const ErrorCase kCompileErrors[] = {
    {"unknown identifier", "begin\n  x := 1;\nend.", 2, 3, "Identificateur inconnu 'x'"},
    {"missing semicolon", "var a: Integer;\nbegin\n  a := 1\n  a := 2;\nend.", 4, 3, "';' attendu"},
    {"type mismatch", "var a: Integer;\nbegin a := 'x'; end.", 2, 12, "Types incompatibles"},
    {"real into integer", "var a: Integer;\nbegin a := 1.5; end.", 2, 12, "Types incompatibles"},
    {"unterminated string", "begin\n  showit('abc\nend.", 2, 10, "Chaîne non terminée"},
    {"unterminated comment", "begin { never closed\nend.", 1, 7, "Commentaire non terminé"},
    {"wrong argument count", "procedure P(a: Integer); begin end;\nbegin P(1, 2); end.", 2, 7,
     "Nombre de paramètres"},
    {"var parameter needs a variable", "procedure P(var a: Integer); begin end;\nbegin P(3); end.", 2, 9,
     "Variable attendue"},
    {"redeclared", "var a: Integer; a: string;\nbegin end.", 1, 17, "redéclaré"},
    {"missing final dot", "begin end", 1, 10, "'.' attendu"},
    {"break outside a loop", "begin\n break;\nend.", 2, 2, "hors d'une boucle"},
    {"condition must be boolean", "begin if 1 then ; end.", 1, 10, "booléenne"},
    {"procedure as value", "procedure P; begin end; var a: Integer;\nbegin a := P; end.", 2, 12,
     "ne renvoie pas"},
    {"constant division by zero", "const X = 1 div 0; begin end.", 1, 13, "Division par zéro"},
    {"assignment to a constant", "const X = 1;\nbegin X := 2; end.", 2, 7, "Affectation impossible"},
    {"undefined forward", "procedure P; forward;\nbegin end.", 1, 11, "non définie"},
    {"bad character", "begin ? end.", 1, 7, "Caractère inattendu"},
    {"integer literal too large", "var a: Integer; begin a := 99999999999999999999; end.", 1, 28,
     "trop grande"},
};

TEST(ScriptEngine, CompileErrorsCarryTheirPosition) {
    for (const auto& c : kCompileErrors) {
        ScriptEngine engine;
        EXPECT_FALSE(engine.compile(c.source, {})) << c.name;
        ASSERT_EQ(engine.messages().size(), 1u) << c.name;
        const ScriptMessage& m = engine.messages().front();
        EXPECT_EQ(m.line, c.line) << c.name << ": " << m.format();
        EXPECT_EQ(m.column, c.column) << c.name << ": " << m.format();
        EXPECT_NE(m.text.find(c.text), std::string::npos) << c.name << ": " << m.format();
        EXPECT_FALSE(engine.compiled());
    }
}

const ErrorCase kRuntimeErrors[] = {
    {"division by zero", "var a, b: Integer;\nbegin b := 0;\n  a := 10 div b; end.", 3, 11,
     "Division par zéro"},
    {"real division by zero", "var a: Double; b: Integer;\nbegin a := 1 / b; end.", 2, 14,
     "Division par zéro"},
    {"array index", "var a: array of Integer;\nbegin SetLength(a, 2);\n  a[2] := 1; end.", 3, 4,
     "Indice hors limites (2)"},
    {"static array index", "var a: array[1..3] of Integer; i: Integer;\nbegin i := 0; a[i] := 1; end.", 2, 16,
     "Indice hors limites (0)"},
    {"string index", "var s: string;\nbegin s := 'ab'; s := s[3]; end.", 2, 24, "Indice hors limites (3)"},
    {"bad integer text", "var i: Integer; s: string;\nbegin s := 'douze'; i := StrToInt(s); end.", 2, 26,
     "'douze' n'est pas un entier"},
    {"endless recursion", "procedure P; begin P; end;\nbegin P; end.", 1, 20, "Trop d'appels imbriqués"},
    {"huge length", "var a: array of Integer;\nbegin SetLength(a, -1); end.", 2, 7, "Longueur invalide"},
};

TEST(ScriptEngine, RuntimeErrorsCarryTheirPosition) {
    for (const auto& c : kRuntimeErrors) {
        ScriptEngine engine;
        ASSERT_TRUE(engine.compile(c.source, {})) << c.name << ": " << engine.messages().front().format();
        const RunOutcome out = engine.run();
        EXPECT_FALSE(out.ok) << c.name;
        EXPECT_EQ(out.line, c.line) << c.name << ": " << out.error;
        EXPECT_EQ(out.column, c.column) << c.name << ": " << out.error;
        EXPECT_NE(out.error.find(c.text), std::string::npos) << c.name << ": " << out.error;
    }
}

TEST(ScriptEngine, EndlessLoopStopsWhenAnotherThreadAsks) {
    // The loop calls Started once it runs; the test thread then asks for the stop and must get
    // the run back with an "interrupted" error instead of hanging.
    std::promise<void> started;
    ScriptDeclarations decls;
    bool once = false;
    decls.addRoutine("procedure Started;", [&](std::vector<Value>&) {
        if (!once) started.set_value();
        once = true;
        return Value{};
    });
    const char* kSources[] = {
        "var i: Integer; begin while True do begin Started; i := i + 1; end; end.",
        "begin repeat Started until False; end.",
    };
    for (const char* source : kSources) {
        ScriptEngine engine;
        once = false;
        started = std::promise<void>();
        ASSERT_TRUE(engine.compile(source, decls));
        std::future<RunOutcome> result = std::async(std::launch::async, [&] { return engine.run(); });
        started.get_future().wait();
        engine.requestStop();
        const RunOutcome out = result.get();
        EXPECT_FALSE(out.ok);
        EXPECT_NE(out.error.find("Exécution interrompue"), std::string::npos) << out.error;
    }
}

TEST(ScriptEngine, PollHookRunsDuringLongLoops) {
    ScriptEngine engine;
    int polls = 0;
    engine.setPollHook([&] { ++polls; });
    ASSERT_TRUE(engine.compile("var i, s: Integer; begin for i := 1 to 20000 do s := s + 1; end.", {}));
    ASSERT_TRUE(engine.run().ok);
    EXPECT_GE(polls, 4);
}

TEST(ScriptEngine, DeepNestingIsRefusedNotOverflowed) {
    const std::pair<std::string, std::string> kShapes[] = {
        {"(", ")"}, {"begin ", " end"}, {"if True then ", ""}, {"-", ""}, {"[", "]"}, {"not ", ""}};
    for (const auto& [open, close] : kShapes) {
        std::string body;
        for (int i = 0; i < 3000; ++i) body += open;
        body += open == "begin " || open == "if True then " ? "" : "1";
        for (int i = 0; i < 3000; ++i) body += close;
        ScriptEngine engine;
        EXPECT_FALSE(engine.compile("var a: Integer; begin a := " + body + "; end.", {})) << open;
        EXPECT_FALSE(engine.compile("begin " + body + " end.", {})) << open;
    }
    std::string chain = "var a: Integer; begin a := 1";
    for (int i = 0; i < 5000; ++i) chain += "+a";
    ScriptEngine engine;
    EXPECT_FALSE(engine.compile(chain + "; end.", {}));
    EXPECT_NE(engine.messages().front().text.find("trop complexe"), std::string::npos);
}

TEST(ScriptEngine, HostRoutinesConstantsTypesAndObjects) {
    ScriptDeclarations decls;
    decls.addType("TFontStyle", "(fsBold, fsItalic, fsUnderline, fsStrikeOut)");
    decls.addType("TFontStyles", "set of TFontStyle");
    decls.addClass("TFont", "Name: widestring; Size: Integer; Color: TColor; Style: TFontStyles");
    decls.addConstant("clRed", "Integer", Value::integer(255));
    std::string seen;
    decls.addRoutine("procedure UseFont(f: TFont);", [&](std::vector<Value>& a) {
        const auto& f = a[0].asObject();
        seen = f->field("name")->asString() + "/" + std::to_string(f->field("Size")->asInteger()) + "/" +
               std::to_string(f->field("Color")->asInteger()) + "/" +
               std::to_string(f->field("Style")->asInteger());
        return Value{};
    });
    decls.addRoutine("function Twice(const x: Double): Double;",
                     [](std::vector<Value>& a) { return Value::real(a[0].asDouble() * 2); });
    decls.addRoutine("procedure Bump(var n: Integer; by: Integer);", [](std::vector<Value>& a) {
        a[0] = Value::integer(a[0].asInteger() + a[1].asInteger());
        return Value{};
    });
    decls.addRoutine("procedure Fails;",
                     [](std::vector<Value>&) -> Value { throw std::runtime_error("refusé"); });
    ScriptEngine engine;
    ASSERT_TRUE(engine.compile(
        "var f: TFont; d: Double; n: Integer;\nbegin f := TFont.Create; f.Name := 'Arial'; "
        "f.Size := 12; f.Color := clRed; f.Style := [fsBold, fsUnderline];\n UseFont(f); f.Free; "
        "d := Twice(3); n := 1; Bump(n, 41);\n Fails; end.",
        decls))
        << engine.messages().front().format();
    const RunOutcome out = engine.run();
    EXPECT_EQ(seen, "Arial/12/255/5");
    EXPECT_EQ(show(*engine.global("d")), "6");
    EXPECT_EQ(show(*engine.global("n")), "42");
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.error, "refusé (ligne 4, colonne 2)");
}

TEST(ScriptEngine, FaultyHostDeclarationIsReportedAndLeftOut) {
    ScriptDeclarations decls;
    decls.addRoutine("procedure Broken(a: NoSuchType);", [](std::vector<Value>&) { return Value{}; });
    decls.addRoutine("procedure Fine;", [](std::vector<Value>&) { return Value{}; });
    ScriptEngine engine;
    EXPECT_TRUE(engine.compile("begin Fine; end.", decls));
    ASSERT_EQ(engine.messages().size(), 1u);
    EXPECT_EQ(engine.messages()[0].severity, ScriptMessage::Severity::Warning);
    EXPECT_NE(engine.messages()[0].format().find("Broken"), std::string::npos);
    EXPECT_FALSE(engine.compile("begin Broken(1); end.", decls));
    EXPECT_NE(engine.messages().back().format().find("Identificateur inconnu 'Broken'"), std::string::npos);
}

}  // namespace
}  // namespace velinor::script
