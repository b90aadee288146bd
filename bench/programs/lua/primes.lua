-- Primes up to 400000 by trial division; prints how many there are.
C = 0
for N = 2, 400000 do
  D = 2
  while true do
    if D * D > N then
      C = C + 1
      break
    end
    if N % D == 0 then break end
    D = D + 1
  end
end
print("X", C)
