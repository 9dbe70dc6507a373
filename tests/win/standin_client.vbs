' A late-bound client of the stand-in CAD, written the way a VB-style program calls it.
' Run by Wine's cscript from standin_test.sh:
'   cscript //nologo standin_client.vbs attach DRAWING_PATH   (a stand-in already runs)
'   cscript //nologo standin_client.vbs quit DRAWING_PATH
'   cscript //nologo standin_client.vbs create | nodoc | die   (none runs; COM starts one)
' Prints "ok NAME" or "FAIL NAME: DETAIL" per check and "vbs: N passed, M failed" last.
Option Explicit
On Error Resume Next

Const E_CANCELLED = -2147467259   ' 0x80004005, Esc
Const E_USERINPUT = -2145320928   ' 0x80210020, Enter or right-click
Const E_NODOC = -2145320703       ' 0x80210101
Const E_DUPLICATE = -2145320702   ' 0x80210102
Const E_BADNAME = -2145320701     ' 0x80210103
Const E_ERASED = -2145320700      ' 0x80210104
Const E_OTHERDRAWING = -2145320699 ' 0x80210105
Const E_UNKNOWNVAR = -2145320698  ' 0x80210106
Const E_INVALIDARG = -2147024809  ' 0x80070057
Const E_REJECTED = -2147418111    ' 0x80010001, busy
Const E_DIED = -2147023170        ' 0x800706BE, server ended during the call

Dim passed, failed
passed = 0
failed = 0

Sub Expect(name, ok, detail)
    If ok Then
        passed = passed + 1
        WScript.Echo "ok   " & name
    Else
        failed = failed + 1
        WScript.Echo "FAIL " & name & ": " & detail
    End If
End Sub

' Checks that the last call failed with the given number, then clears the error.
' (These helpers have no On Error statement of their own: it would clear Err.)
Sub ExpectError(name, number)
    Dim got, text
    got = Err.Number
    text = Err.Description & " (" & Err.Source & ")"
    Err.Clear
    Expect name, got = number, "Err.Number " & got & " " & text & ", expected " & number
End Sub

Sub ExpectNoError(name)
    Dim got, text
    got = Err.Number
    text = Err.Description
    Err.Clear
    Expect name, got = 0, "Err.Number " & got & " " & text
End Sub

' Wine's WScript.Sleep does nothing, so waiting spins on the clock (bounded by the caller).
Sub Pause(seconds)
    Dim t
    t = Timer
    Do While Timer - t < seconds And Timer >= t
    Loop
End Sub

' Attaching: GetObject(, ProgID) first, as a VB program does. Wine's VBScript does not
' implement that form (error 445), so the test then binds to the open drawing by its path
' through the running object table and climbs to its Application.
Function Attach(drawingPath)
    On Error Resume Next
    Dim app, doc, number
    Set app = Nothing
    Err.Clear
    Set app = GetObject(, "AutoCAD.Application")
    number = Err.Number
    Err.Clear
    If number = 0 Then
        WScript.Echo "note GetObject(, ProgID) attached"
    Else
        WScript.Echo "note GetObject(, ProgID) gave " & number & "; binding by drawing path"
        Set doc = GetObject(drawingPath)
        ExpectNoError "GetObject(drawing path) finds the running drawing"
        Set app = doc.Application
        ExpectNoError "Document.Application"
    End If
    Set Attach = app
End Function

Sub RunAttach(drawingPath)
    On Error Resume Next
    Dim app, doc, util, ms, grps, g, g2, p, o, n1, n2, e3, nodes(1), v, name, longName, i
    Set app = Attach(drawingPath)
    Expect "attached", Not (app Is Nothing), "no application object"

    app.Visible = True
    ExpectNoError "Visible = True"
    v = app.Visible
    Expect "Visible reads True", v = True, "Visible = " & v
    v = app.CAPTION
    ExpectNoError "CAPTION (names are case-insensitive)"
    Expect "Caption is the window title", v = "Stand-in CAD - [section.dxf]", "Caption = " & v
    v = app.NoSuchMember
    ExpectError "unknown member", 438

    Set doc = app.ActiveDocument
    ExpectNoError "ActiveDocument"
    v = doc.Name
    Expect "document name", v = "section.dxf", "Name = " & v

    doc.SetVariable "PDMODE", 3
    ExpectNoError "SetVariable PDMODE 3"
    v = doc.GetVariable("pdmode")
    Expect "pdmode reads 3", v = 3, "pdmode = " & v
    doc.SetVariable "nosuchvariable", 1
    ExpectError "SetVariable unknown name", E_UNKNOWNVAR

    ' The origin: a scripted pick, base point left out.
    Set util = doc.Utility
    p = util.GetPoint(, "Pick the origin ")
    ExpectNoError "GetPoint answers the scripted pick"
    Expect "GetPoint returns an array of doubles", VarType(p) = 8197, "VarType " & VarType(p)
    Set ms = doc.ModelSpace
    Set o = ms.AddPoint(p)
    ExpectNoError "AddPoint with the picked array (by reference)"
    o.Color = 1
    ExpectNoError "Color = 1"
    v = o.Color
    Expect "Color reads 1", v = 1, "Color = " & v

    ' Two nodes, then Enter ends the picking.
    p = util.GetPoint(, "Pick node 1 ")
    Set n1 = ms.AddPoint(p)
    n1.Color = 3
    ExpectNoError "node 1 picked, added and coloured"
    p = util.GetPoint(, "Pick node 2 ")
    Set n2 = ms.AddPoint(p)
    n2.Color = 3
    ExpectNoError "node 2 picked, added and coloured"
    p = util.GetPoint(, "Pick node 3 ")
    ExpectError "Enter ends the prompt with 0x80210020", E_USERINPUT
    p = util.GetPoint(, "Pick node 3 ")
    ExpectError "Esc ends the prompt with 0x80004005", E_CANCELLED

    ' AddPoint takes three numbers, nothing else.
    Set v = ms.AddPoint(Array(1500.5, 250, 0))
    ExpectNoError "AddPoint with an array of VARIANTs by value"
    Set v = ms.AddPoint(Array(1, 2))
    ExpectError "AddPoint with two numbers", E_INVALIDARG
    Set v = ms.AddPoint("1,2,0")
    ExpectError "AddPoint with a text", E_INVALIDARG
    Set v = ms.AddPoint(Array("a", "b", "c"))
    ExpectError "AddPoint with texts in the array", E_INVALIDARG

    ' Groups: names as the tool draws them, duplicates and names the CAD refuses.
    Set grps = doc.Groups
    name = ".7055475"
    Set g = grps.Add(name)
    ExpectNoError "Groups.Add(variable)"
    Set v = grps.Add(".7055475")
    ExpectError "Groups.Add duplicate name", E_DUPLICATE
    Set v = grps.Add("Deck")
    ExpectNoError "Groups.Add Deck"
    Set v = grps.Add("DECK")
    ExpectError "Groups.Add duplicate differing in case", E_DUPLICATE
    Set v = grps.Add("")
    ExpectError "Groups.Add empty name", E_BADNAME
    Set v = grps.Add("a<b")
    ExpectError "Groups.Add name with <", E_BADNAME
    Set v = grps.Add("a`b")
    ExpectError "Groups.Add name with backquote", E_BADNAME
    longName = String(256, "x")
    Set v = grps.Add(longName)
    ExpectError "Groups.Add 256-character name", E_BADNAME
    Set v = grps.Add(String(255, "y"))
    ExpectNoError "Groups.Add 255-character name"

    g.AppendItems Array(o)
    ExpectNoError "AppendItems one entity"
    Set nodes(0) = n1
    Set nodes(1) = n2
    g.AppendItems nodes
    ExpectNoError "AppendItems array variable"
    v = g.Count
    Expect "group holds origin and two nodes", v = 3, "Count = " & v
    Set e3 = ms.AddPoint(Array(0, 0, 0))
    e3.Delete
    g.AppendItems Array(e3)
    ExpectError "AppendItems an erased entity", E_ERASED
    g.AppendItems Array(grps)
    ExpectError "AppendItems something that is no entity", E_INVALIDARG
    v = g.Count
    Expect "failed AppendItems changed nothing", v = 3, "Count = " & v
End Sub

Sub RunQuit(drawingPath)
    On Error Resume Next
    Dim app
    Set app = Attach(drawingPath)
    app.Quit
    ExpectNoError "Quit"
End Sub

' No stand-in runs: CreateObject starts one (-Embedding); its faults come from config.ini:
' a second drawing after call 4, the newest group erased after call 12, busy after call 16.
Sub RunCreate()
    On Error Resume Next
    Dim app, doc1, doc2, grps1, grps2, g1, g2, g2b, ms1, ms2, e1, v, i, started
    Set app = CreateObject("AutoCAD.Application")
    ExpectNoError "CreateObject starts the stand-in"
    v = app.Visible                                  ' 1
    Expect "a COM-started stand-in is hidden", v = False, "Visible = " & v
    app.Visible = True                               ' 2
    Set doc1 = app.ActiveDocument                    ' 3
    Set grps1 = doc1.Groups                          ' 4, then Drawing2 opens
    Set g1 = grps1.Add("g1")                         ' 5
    ExpectNoError "Groups.Add in a drawing that is no longer active"
    Set ms1 = doc1.ModelSpace                        ' 6
    Set e1 = ms1.AddPoint(Array(1, 2, 0))            ' 7
    g1.AppendItems Array(e1)                         ' 8
    ExpectError "AppendItems to a group of an inactive drawing", E_OTHERDRAWING
    Set doc2 = app.ActiveDocument                    ' 9
    v = doc2.Name                                    ' 10
    Expect "second drawing is active", v = "Drawing2.dxf", "Name = " & v
    Set grps2 = doc2.Groups                          ' 11
    Set g2 = grps2.Add("g2")                         ' 12, then g2 is erased
    g2.AppendItems Array(e1)                         ' 13
    ExpectError "AppendItems to an erased group", E_ERASED
    Set g2b = grps2.Add("g2")                        ' 14
    ExpectNoError "an erased group's name is free again"
    Set ms2 = doc2.ModelSpace                        ' 15
    g2b.AppendItems Array(e1)                        ' 16, then busy for 1500 ms
    ExpectError "AppendItems an entity of another drawing", E_OTHERDRAWING
    v = app.Caption                                  ' 17: rejected
    ExpectError "busy: call rejected with 0x80010001", E_REJECTED
    started = Timer
    For i = 1 To 100
        v = app.Caption
        If Err.Number = 0 Then Exit For
        Err.Clear
        Pause 0.1
    Next
    ExpectNoError "calls succeed again after the busy time"
    Expect "busy lasted about 1.5 s", Timer - started > 0.8, "waited " & (Timer - started) & " s"
    Expect "Caption follows the active drawing", v = "Stand-in CAD - [Drawing2.dxf]", "Caption = " & v
    app.Quit
    ExpectNoError "Quit"
End Sub

Sub RunNoDoc()
    On Error Resume Next
    Dim app, doc, v
    Set app = CreateObject("AutoCAD.Application")
    ExpectNoError "CreateObject (no drawing open)"
    v = app.Caption
    Expect "Caption without a drawing", v = "Stand-in CAD", "Caption = " & v
    Set doc = app.ActiveDocument
    ExpectError "ActiveDocument fails when no drawing is open", E_NODOC
    app.Quit
    ExpectNoError "Quit"
End Sub

' The stand-in ends inside call 2, before answering.
Sub RunDie()
    On Error Resume Next
    Dim app, v
    Set app = CreateObject("AutoCAD.Application")
    ExpectNoError "CreateObject (dies at call 2)"
    app.Visible = True
    ExpectNoError "call 1 answered"
    v = app.Caption
    ExpectError "call 2: the server ended during the call", E_DIED
    v = app.Caption
    Expect "the next call fails too", Err.Number <> 0, "Err.Number 0"
    Err.Clear
End Sub

Dim mode
mode = ""
If WScript.Arguments.Count > 0 Then mode = WScript.Arguments(0)
Select Case mode
    Case "attach": RunAttach WScript.Arguments(1)
    Case "quit": RunQuit WScript.Arguments(1)
    Case "create": RunCreate
    Case "nodoc": RunNoDoc
    Case "die": RunDie
    Case Else: Expect "known mode", False, "mode '" & mode & "'"
End Select
WScript.Echo "vbs: " & passed & " passed, " & failed & " failed"
If failed > 0 Then WScript.Quit 1
WScript.Quit 0
