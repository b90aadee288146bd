A = 1
print("X", A)
