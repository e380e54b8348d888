#include "actions/actions.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "actions/actions_list.h"
#include "actions/preferences_morvane.h"
#include "actions/temp_dir.h"

namespace velinor {
namespace {

// Records the macro lines of the block, then stops recording.
class Recording {
public:
    Recording() { Macro() = MacroState{&lines, false}; }
    ~Recording() { Macro() = MacroState{}; }
    std::vector<std::string> lines;
};

// Keeps the declarations given to it and calls their bodies by declaration.
class FakeScript : public ScriptRegistrar {
public:
    bool RegisterProcedure(const std::string& declaration, ScriptProc proc) override {
        declarations.push_back(declaration);
        procs[declaration] = std::move(proc);
        return true;
    }
    void Call(const std::string& declaration, const std::vector<ScriptArg>& args) {
        procs.at(declaration)(args);
    }
    std::vector<std::string> declarations;
    std::map<std::string, ScriptProc> procs;
};

TEST(Names, ScriptNameAndCaptionFollowTheNameUnlessSetByHand) {
    TIntegerAction a("iaVolume");
    EXPECT_EQ(a.InternalId, "iaVolume");
    EXPECT_EQ(a.ScriptName, "Volume");
    EXPECT_EQ(a.Caption(), "Volume");
    a.SetCaption("Volume sonore");
    a.SetName("iaSon");
    EXPECT_EQ(a.InternalId, "iaSon");
    EXPECT_EQ(a.ScriptName, "Son");
    EXPECT_EQ(a.Caption(), "Volume sonore");
    EXPECT_TRUE(a.IncludePrefs);
    EXPECT_EQ(a.ImageIndex(), -1);
    EXPECT_TRUE(a.Visible() && a.Enabled());
}

TEST(ValueText, CommandLineTextsOfEachKind) {
    struct IntCase {
        const char* text;
        int32_t value;
    };
    for (const auto& c : {IntCase{"25", 25}, IntCase{"abc", -1}, IntCase{"", -1}, IntCase{" -7 ", -7}}) {
        TIntegerAction a("iaX");
        a.SetValueText(c.text);
        EXPECT_EQ(a.CurrentValue(), c.value) << c.text;
    }
    struct DoubleCase {
        const char* text;
        double value;
    };
    for (const auto& c : {DoubleCase{"2.5", 2.5}, DoubleCase{"2,5", 2.5}, DoubleCase{"abc", 0}}) {
        TDoubleAction a("daX");
        a.SetDefaultValue(9);
        a.SetValueText(c.text);
        EXPECT_EQ(a.CurrentValue(), c.value) << c.text;
    }
    struct ListCase {
        const char* text;
        std::vector<std::string> items;
    };
    const ListCase lists[] = {
        {"a,b,c", {"a", "b", "c"}},
        {"\"a b\",c", {"a b", "c"}},
        {"a b", {"a", "b"}},
        {"a,,b", {"a", "", "b"}},
        {"a,", {"a", ""}},
        {"\"say \"\"hi\"\"\",x", {"say \"hi\"", "x"}},
        {"  ", {}},
        {"\"open", {"open"}},
    };
    for (const auto& c : lists) {
        TWStringsAction a("saX");
        a.SetValueText(c.text);
        EXPECT_EQ(a.CurrentValue(), c.items) << c.text;
        TWStringsAction back("saY");
        back.SetValueText(a.ValueText());
        EXPECT_EQ(back.CurrentValue(), c.items) << a.ValueText();
    }
    TWidestringAction w("waX");
    w.SetValueText(" keep blanks ");
    EXPECT_EQ(w.CurrentValue(), " keep blanks ");
    TFontAction f("faX");
    int applied = 0;
    f.OnAfterApply = [&](const TFont&) { ++applied; };
    f.SetValueText("Arial");
    EXPECT_EQ(applied, 0);
}

TEST(ValueText, BooleanTexts) {
    struct Case {
        const char* text;
        bool value;
    };
    const Case cases[] = {{"Vrai", true}, {" T ", true}, {"1", true},     {"-3", true},
                          {"true", true}, {"v", true},   {"faux", false}, {"0", false},
                          {"non", false}, {"", false},   {"F", false},    {"yes", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(BooleanFromText(c.text), c.value) << c.text;
        TBooleanAction b("baX");
        b.SetValueText(c.text);
        EXPECT_EQ(b.CurrentValue(), c.value) << c.text;
        TCheckAction k("caX");
        k.SetValueText(c.text);
        EXPECT_EQ(k.Checked(), c.value) << c.text;
    }
}

TEST(ValueText, Rectangles) {
    struct Case {
        const char* text;
        bool changes;
        TRect value;
    };
    const Case cases[] = {
        {"(10,20,300,400)", true, {10, 20, 300, 400}},
        {" ( 10 , 20 , 300 , 400 ) ", true, {10, 20, 300, 400}},
        {"(1,x,3,4)", true, {1, 0, 3, 4}},
        {"(1,2,3,4,5)", true, {1, 2, 3, 4}},
        {"10,20,300,400", false, {}},
        {"(1,2,3)", false, {}},
        {"(1,2,3,4", false, {}},
        {"", false, {}},
    };
    for (const auto& c : cases) {
        TRectAction r("raX");
        const TRect before{-1, -1, -1, -1};
        r.SetValue(before);
        int applied = 0;
        r.OnAfterApply = [&](const TRect&) { ++applied; };
        r.SetValueText(c.text);
        EXPECT_EQ(r.CurrentValue(), c.changes ? c.value : before) << c.text;
        EXPECT_EQ(applied, c.changes ? 1 : 0) << c.text;
    }
    TRectAction r("raX");
    r.SetValueText("(10,20,300,400)");
    EXPECT_EQ(r.ValueText(), "(10,20,300,400)");
}

TEST(Setters, EqualBooleanDoesNothingWhileCheckAlwaysApplies) {
    Recording rec;
    TBooleanAction b("baAuto");
    std::vector<bool> applied;
    b.OnAfterApply = [&](const bool& v) { applied.push_back(v); };
    b.SetValue(true);
    b.SetValue(true);
    b.SetValue(false);
    EXPECT_EQ(applied, (std::vector<bool>{true, false}));

    TCheckAction c("caMute");
    int trueApplies = 0, falseApplies = 0;
    c.OnAfterTrueApply = [&] { ++trueApplies; };
    c.OnAfterFalseApply = [&] { ++falseApplies; };
    c.SetChecked(true);
    c.SetChecked(true);
    c.Toggle();
    EXPECT_EQ(trueApplies, 2);
    EXPECT_EQ(falseApplies, 1);
    EXPECT_EQ(rec.lines,
              (std::vector<std::string>{"    Auto(True);", "    Auto(False);", "    setMute(True);",
                                        "    setMute(True);", "    setMute(False);"}));
}

TEST(Setters, ApplyRunsEventThenHookThenEventWithTheValue) {
    TIntegerAction a("iaVolume");
    std::vector<std::string> calls;
    a.OnBeforeApply = [&](const int32_t& v) { calls.push_back("before " + std::to_string(v)); };
    a.InternalApply = [&](const int32_t& v) { calls.push_back("internal " + std::to_string(v)); };
    a.OnAfterApply = [&](const int32_t& v) { calls.push_back("after " + std::to_string(v)); };
    a.SetValue(5);
    EXPECT_EQ(calls, (std::vector<std::string>{"before 5", "internal 5", "after 5"}));
    a.ResetAction();
    calls.clear();
    a.Apply();
    EXPECT_EQ(calls, (std::vector<std::string>{"before 5", "after 5"}));
    EXPECT_EQ(a.ScriptName, "");
}

TEST(Setters, TriggeringAValueActionNeedsAPrepareHandler) {
    TWidestringAction w("waDossier");
    int applied = 0;
    w.OnAfterApply = [&](const std::string&) { ++applied; };
    w.Execute();
    EXPECT_EQ(applied, 0);
    w.OnPrepare = [](std::string& v) {
        EXPECT_EQ(v, "");
        v = "/home";
        return true;
    };
    w.InternalPrepare = [](std::string& v) {
        v += "/moi";
        return true;
    };
    w.Execute();
    EXPECT_EQ(w.CurrentValue(), "/home/moi");
    w.InternalPrepare = [](std::string&) { return false; };
    w.Execute();
    EXPECT_EQ(applied, 1);

    TNopeAction n("naGo");
    int ran = 0;
    n.InternalApply = [&] { ++ran; };
    n.Execute();
    n.OnPrepare = [] { return false; };
    n.Execute();
    EXPECT_EQ(ran, 1);
}

TEST(Captions, CheckActionShowsTheCaptionOfItsState) {
    testing::TempDir dir;
    TMorvanePreferences prefs({dir.path(), dir.path(), "velinor"});
    TCheckAction c("caFullscreen");
    c.SetFalseCaption("Plein écran");
    c.SetTrueCaption("Quitter plein écran");
    c.SetTrueImageIndex(4);
    c.SetFalseHint("Passer en plein écran");
    EXPECT_EQ(c.Caption(), "Plein écran");
    EXPECT_EQ(c.Hint(), "Passer en plein écran");
    c.SetChecked(true);
    EXPECT_EQ(c.Caption(), "Quitter plein écran");
    EXPECT_EQ(c.ImageIndex(), 4);
    EXPECT_EQ(c.Hint(), "");
    c.LoadFromPrefs(prefs);  // nothing stored: the default, false
    EXPECT_FALSE(c.Checked());
    EXPECT_EQ(c.Caption(), "Plein écran");
    EXPECT_EQ(c.ImageIndex(), -1);
    c.SetDefaultValue(true);
    EXPECT_TRUE(c.Checked());
    EXPECT_EQ(c.Caption(), "Quitter plein écran");
}

TEST(Captions, ListenersFollowTheVisibleState) {
    TCheckAction c("caMute");
    c.SetFalseCaption("Couper le son");
    c.SetTrueCaption("Remettre le son");
    std::vector<ActionProperty> seen;
    const int id = c.AddChangeListener([&](TCustomAbstractAction&, ActionProperty p) { seen.push_back(p); });
    c.SetChecked(true);
    c.SetEnabled(false);
    c.SetVisible(false);
    c.SetEnabled(false);
    c.RemoveChangeListener(id);
    c.SetVisible(true);
    EXPECT_EQ(seen, (std::vector<ActionProperty>{ActionProperty::Checked, ActionProperty::Caption,
                                                 ActionProperty::Enabled, ActionProperty::Visible}));
}

TEST(Macro, LinesOfEachKind) {
    Recording rec;
    TWidestringAction w("waTitre");
    w.SetValue("l'été");
    TIntegerAction i("iaVolume");
    i.SetValue(-1000);
    TDoubleAction d("daRatio");
    d.SetValue(1.0 / 3);
    TWStringsAction s("saListe");
    s.SetValue({"a", "l'b"});
    s.SetValue({});
    TFontAction f("faPolice");
    TFont font;
    font.Name = "Arial";
    font.Size = 12;
    font.Color = 0xFF;
    font.Bold = true;
    font.StrikeOut = true;
    f.SetValue(font);
    TRectAction r("raZone");
    r.SetValue(TRect{1, 2, 3, 4});
    TNopeAction n("naSuivant");
    n.Apply();
    TNopeAction unnamed("");
    unnamed.Apply();
    TCheckAction stop("naStopMacro");
    stop.SetChecked(true);
    TCheckAction script("caScript");
    script.ScriptName = "Script";
    script.OnAfterTrueApply = [&] { i.SetValue(3); };  // applied by the script: not recorded
    script.SetChecked(true);
    EXPECT_EQ(rec.lines, (std::vector<std::string>{
                             "    Titre('l''été');",
                             "    Volume(-1000);",
                             "    Ratio(0.333333333333333);",
                             "    Liste(['a', 'l''b']);",
                             "    Liste([]);",
                             "    Police('Arial', 12, $0000FF, True, False, False, True);",
                             "    Zone(1,3,2,4);",
                             "    Suivant;",
                         }));
    EXPECT_EQ(i.CurrentValue(), 3);
    EXPECT_FALSE(Macro().MacroBusy);
}

TEST(Macro, ActionsAppliedByARecordedActionAreNotRecorded) {
    Recording rec;
    TIntegerAction volume("iaVolume");
    TNopeAction louder("naIncVolume");
    louder.OnAfterApply = [&] { volume.SetValue(volume.CurrentValue() + 1000); };
    louder.Apply();
    louder.Apply();
    EXPECT_EQ(volume.CurrentValue(), 2000);
    EXPECT_EQ(rec.lines, (std::vector<std::string>{"    IncVolume;", "    IncVolume;"}));
    // A handler that throws still clears the busy flag.
    louder.OnAfterApply = [] { throw std::runtime_error("x"); };
    EXPECT_THROW(louder.Apply(), std::runtime_error);
    EXPECT_FALSE(Macro().MacroBusy);
}

TEST(Script, DeclarationsAndSyntaxOfEachKind) {
    TNopeAction n("naSuivant");
    n.Switch = "nf";
    TWidestringAction w("waTitre");
    w.Switch = "t";
    TWStringsAction s("saListe");
    TFontAction f("faPolice");
    TIntegerAction i("iaVolume");
    i.Switch = "vol";
    i.Variables = "aVolume";
    TDoubleAction d("daRatio");
    TBooleanAction b("baAuto");
    TRectAction r("raZone");
    TCheckAction c("caMute");
    c.Switch = "m";
    struct Case {
        TCustomAbstractAction* action;
        const char* script;
        const char* switchText;
    };
    const Case cases[] = {
        {&n, "procedure Suivant;", "/nf"},
        {&w, "procedure Titre(const aWidestring:widestring);", "/t=aWidestring"},
        {&s, "procedure Liste(ws:array of widestring);", "/=aWStrings"},
        {&f,
         "procedure Police(aName:widestring;aSize:integer;aColor:TColor;isBold:Boolean;isItalic:Boolean;"
         "isUnderline:Boolean;isStrikeOut:Boolean);",
         "/=aFont"},
        {&i, "procedure Volume(const aVolume:integer);", "/vol=aVolume"},
        {&d, "procedure Ratio(const aDouble:Double);", "/=aDouble"},
        {&b, "procedure Auto(const aBoolean:Boolean);", "/=aBoolean"},
        {&r, "procedure Zone(const left,right,top,bottom:integer);", "/=aRect"},
        {&c, "procedure setMute(const fisTrue:Boolean);\r\nprocedure Mute;", "/m +m -m"},
    };
    EXPECT_EQ(r.ScriptVariables(), "left,right,top,bottom");
    EXPECT_EQ(i.ScriptVariables(), "aVolume");
    for (const auto& c2 : cases) {
        EXPECT_EQ(c2.action->ScriptSyntax(), c2.script) << c2.action->Name();
        EXPECT_EQ(c2.action->SwitchSyntax(), c2.switchText) << c2.action->Name();
    }
    FakeScript script;
    c.RegisterScript(script);
    EXPECT_EQ(script.declarations,
              (std::vector<std::string>{"procedure setMute(const aBoolean:Boolean);", "procedure Mute;"}));
    TNopeAction anonymous("");
    anonymous.RegisterScript(script);
    EXPECT_EQ(script.declarations.size(), 2u);
}

TEST(Script, ProceduresSetTheActions) {
    TMvActionList list;
    auto& w = list.Create<TWidestringAction>("waTitre");
    auto& s = list.Create<TWStringsAction>("saListe");
    auto& f = list.Create<TFontAction>("faPolice");
    auto& i = list.Create<TIntegerAction>("iaVolume");
    auto& d = list.Create<TDoubleAction>("daRatio");
    auto& b = list.Create<TBooleanAction>("baAuto");
    auto& r = list.Create<TRectAction>("raZone");
    auto& c = list.Create<TCheckAction>("caMute");
    auto& n = list.Create<TNopeAction>("naSuivant");
    int next = 0;
    n.OnAfterApply = [&] { ++next; };
    FakeScript script;
    list.SetPascalScript(&script);
    ASSERT_TRUE(script.OnCompile);
    script.OnCompile(script);
    EXPECT_EQ(script.declarations.size(), 10u);
    script.Call(w.ScriptSyntax(), {std::string("x")});
    script.Call(s.ScriptSyntax(), {std::vector<std::string>{"a", "b"}});
    script.Call(f.ScriptSyntax(),
                {std::string("Arial"), int64_t{14}, int64_t{0xFF00}, true, false, true, false});
    script.Call(i.ScriptSyntax(), {int64_t{42}});
    script.Call(d.ScriptSyntax(), {int64_t{2}});
    script.Call(b.ScriptSyntax(), {true});
    script.Call(r.ScriptSyntax(), {int64_t{1}, int64_t{2}, int64_t{3}, int64_t{4}});
    script.Call("procedure setMute(const aBoolean:Boolean);", {true});
    script.Call("procedure Mute;", {});
    script.Call("procedure Suivant;", {});
    EXPECT_EQ(w.CurrentValue(), "x");
    EXPECT_EQ(s.CurrentValue(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(f.CurrentValue().Name, "Arial");
    EXPECT_EQ(f.CurrentValue().Color, 0xFF00);
    EXPECT_TRUE(f.CurrentValue().Underline);
    EXPECT_EQ(i.CurrentValue(), 42);
    EXPECT_EQ(d.CurrentValue(), 2.0);
    EXPECT_TRUE(b.CurrentValue());
    EXPECT_EQ(r.CurrentValue(), (TRect{1, 3, 2, 4}));  // left, right, top, bottom
    EXPECT_FALSE(c.Checked());
    EXPECT_EQ(next, 1);
    EXPECT_THROW(script.Call(i.ScriptSyntax(), {}), std::invalid_argument);
    EXPECT_THROW(script.Call(b.ScriptSyntax(), {std::string("x")}), std::invalid_argument);
    // By script name, without regard to case, and by value.
    ASSERT_EQ(list.FindScriptName("VOLUME"), &i);
    EXPECT_TRUE(list.FindScriptName("volume")->SetActionValue(int32_t{7}));
    EXPECT_FALSE(list.FindScriptName("volume")->SetActionValue(std::string("7")));
    EXPECT_EQ(std::get<int32_t>(i.Value()), 7);
    EXPECT_EQ(list.FindAction("iaVolume"), &i);
    EXPECT_EQ(list.FindAction("IAVOLUME"), nullptr);
    // Clearing the property gives the script its own handler back.
    list.SetPascalScript(nullptr);
    EXPECT_FALSE(script.OnCompile);
}

TEST(Script, ListsAttachedToOneScriptAllDeclare) {
    FakeScript script;
    bool ownerRan = false;
    script.OnCompile = [&](ScriptRegistrar&) { return ownerRan = true; };
    TMvActionList first, second;
    first.Create<TNopeAction>("naUn");
    second.Create<TNopeAction>("naDeux");
    first.SetPascalScript(&script);
    second.SetPascalScript(&script);
    script.OnCompile(script);
    EXPECT_TRUE(ownerRan);
    EXPECT_EQ(script.declarations, (std::vector<std::string>{"procedure Un;", "procedure Deux;"}));
    // A script destroyed before its lists leaves them detached.
    auto shortLived = std::make_unique<FakeScript>();
    first.SetPascalScript(nullptr);
    first.SetPascalScript(shortLived.get());
    shortLived.reset();
    EXPECT_EQ(first.PascalScript(), nullptr);
}

struct PrefsFixture : ::testing::Test {
    testing::TempDir dir;
    std::unique_ptr<TMorvanePreferences> prefs;
    void SetUp() override { Reopen(TSavePreferences::spRegistre); }
    void Reopen(TSavePreferences mode) {
        if (prefs) prefs->Backend().Flush();
        prefs = std::make_unique<TMorvanePreferences>(PreferencesPaths{dir.path(), dir.path(), "velinor"});
        prefs->SetMode(mode);
        prefs->OpenPrefsKey("UIForm");
    }
};

TEST_F(PrefsFixture, ListsSaveAndLoadEveryKind) {
    for (const auto mode : {TSavePreferences::spRegistre, TSavePreferences::spPortable}) {
        Reopen(mode);
        TMvActionList saved;
        saved.Create<TWidestringAction>("waTitre").SetValue("l'été");
        saved.Create<TWStringsAction>("saListe").SetValue({"a", "", "c"});
        TFont font;
        font.Name = "DejaVu Sans";
        font.Italic = true;
        saved.Create<TFontAction>("faPolice").SetValue(font);
        saved.Create<TIntegerAction>("iaVolume").SetValue(-2000);
        saved.Create<TDoubleAction>("daRatio").SetValue(0.1);
        saved.Create<TBooleanAction>("baAuto").SetValue(true);
        saved.Create<TRectAction>("raZone").SetValue(TRect{1, 2, 3, 4});
        saved.Create<TCheckAction>("caMute").SetChecked(true);
        auto& excluded = saved.Create<TIntegerAction>("iaExclu");
        excluded.IncludePrefs = false;
        excluded.SetValue(5);
        ASSERT_TRUE(saved.SaveActions(*prefs));
        Reopen(mode);

        TMvActionList loaded;
        auto& w = loaded.Create<TWidestringAction>("waTitre");
        auto& s = loaded.Create<TWStringsAction>("saListe");
        auto& f = loaded.Create<TFontAction>("faPolice");
        auto& i = loaded.Create<TIntegerAction>("iaVolume");
        auto& d = loaded.Create<TDoubleAction>("daRatio");
        auto& b = loaded.Create<TBooleanAction>("baAuto");
        auto& r = loaded.Create<TRectAction>("raZone");
        auto& c = loaded.Create<TCheckAction>("caMute");
        auto& e = loaded.Create<TIntegerAction>("iaExclu");
        e.SetDefaultValue(9);
        int applied = 0;
        i.ApplyWhenLoad = true;
        i.OnAfterApply = [&](const int32_t&) { ++applied; };
        ASSERT_TRUE(loaded.LoadActions(*prefs));
        EXPECT_EQ(w.CurrentValue(), "l'été");
        EXPECT_EQ(s.CurrentValue(), (std::vector<std::string>{"a", "", "c"}));
        EXPECT_EQ(f.CurrentValue(), font);
        EXPECT_EQ(i.CurrentValue(), -2000);
        EXPECT_EQ(d.CurrentValue(), 0.1);
        EXPECT_TRUE(b.CurrentValue());
        EXPECT_EQ(r.CurrentValue(), (TRect{1, 2, 3, 4}));
        EXPECT_TRUE(c.Checked());
        EXPECT_EQ(e.CurrentValue(), 9);
        EXPECT_EQ(applied, 1);
    }
}

TEST_F(PrefsFixture, DefaultsHooksAndFailures) {
    TMvActionList list;
    auto& i = list.Create<TIntegerAction>("iaVolume");
    i.SetDefaultValue(3);
    i.OnDefault = [](int32_t& v) {
        v *= 10;
        return true;
    };
    i.InternalDefault = [](int32_t& v) {
        v += 1;
        return true;
    };
    auto& throwing = list.Create<TBooleanAction>("baCasse");
    throwing.OnDefault = [](bool&) -> bool { throw std::runtime_error("x"); };
    auto& after = list.Create<TWStringsAction>("saApres");
    after.SetDefaultValue({"d"});
    int listEvent = 0;
    list.OnLoadFromPrefs = [&](TMorvanePreferences&) {
        ++listEvent;
        return true;
    };
    EXPECT_FALSE(list.LoadActions(*prefs));  // the throwing action fails, the others still load
    EXPECT_EQ(i.CurrentValue(), 31);
    EXPECT_EQ(after.CurrentValue(), (std::vector<std::string>{"d"}));
    EXPECT_EQ(listEvent, 1);

    // A check action saves a copy that its handlers may change; Checked itself stays.
    TCheckAction c("caMute");
    c.SetChecked(true);
    c.BeforeSave = [](bool& v) {
        v = false;
        return true;
    };
    ASSERT_TRUE(c.SaveToPrefs(*prefs));
    EXPECT_TRUE(c.Checked());
    EXPECT_FALSE(prefs->ReadBoolean("Mute", true));

    // A value action's save handler changes the value itself.
    i.BeforeSave = [](int32_t& v) {
        v = 77;
        return true;
    };
    ASSERT_TRUE(i.SaveToPrefs(*prefs));
    EXPECT_EQ(i.CurrentValue(), 77);

    // Nothing is stored without a store.
    TMorvanePreferences none({dir.path() / "n", dir.path() / "n", ""});
    EXPECT_FALSE(i.SaveToPrefs(none));
    EXPECT_TRUE(TNopeAction("naX").SaveToPrefs(none));
}

TEST(Lists, ActionsLeaveTheirListWhenDestroyed) {
    TMvActionList list;
    {
        TIntegerAction local("iaLocal");
        list.AddAction(local);
        EXPECT_EQ(list.FindAction("iaLocal"), &local);
        EXPECT_EQ(local.ActionList(), &list);
    }
    EXPECT_EQ(list.FindAction("iaLocal"), nullptr);
    auto& made = list.CreateInternal<TNopeAction>("runtime1");
    EXPECT_EQ(made.Category, "internal");
    EXPECT_EQ(list.FindAction("runtime1"), &made);
    int images = 0;
    made.OnImageChanged = [&](int) { ++images; };
    made.SetImageIndex(3);
    made.SetImageIndex(3);
    EXPECT_EQ(images, 1);
}

}  // namespace
}  // namespace velinor
