-- GOSUB and RETURN: a global function that reads and writes globals.
C = 0
function SUB()
  R = I % 7
  if R < 3 then
    C = C - 1
    return
  end
  C = C + R
end
for i = 1, 15000000 do
  I = i
  SUB()
end
print("X", C)
