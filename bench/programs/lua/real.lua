-- Real arithmetic: division, SQR and SIN. Checksum: the sum of INT(100 * block sum).
K = 0
for I = 1, 400000 do
  S = 0.0
  for J = 1, 20 do
    X = (I + J) / 7.0
    Y = math.sqrt(X)
    Z = (math.sin(Y) + 1.5) / Y
    S = S + Z * 10.0
  end
  K = K + math.floor(S * 100.0)
end
print("X", K)
