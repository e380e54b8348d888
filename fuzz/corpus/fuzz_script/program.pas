program Demo;
{$I+}
const N = 3 * 4; S = 'it''s'#13#10;
type TC = (Red, Green); TR = record X, Y: Integer; end;
var i: Integer; a: array of string; r: TR; f: TFont;
function Sq(x: Integer): Integer; begin Result := x * x; end;
procedure P(var s: string); begin s := s + '!'; end;
begin
  for i := 1 to N do case i of 1..3: a := ['a', 'b']; else r.X := Sq(i) div 2 mod 3; end;
  repeat i := i shl 1 until (i > 100) or not True;
  while i > 0 do Dec(i);
  f := TFont.Create; f.Style := [fsBold];
  (* c *) // d
end.
