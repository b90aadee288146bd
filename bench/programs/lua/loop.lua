-- Tight loop: 60,600,000 statements in the BASIC. S ends at 300000 * 5050 = 1515000000.
-- Globals, as BASIC's variables are; a numeric for's control variable is
-- always local in Lua.
S = 0
for I = 1, 300000 do
  for J = 1, 100 do
    S = S + J
  end
end
print("X", S)
