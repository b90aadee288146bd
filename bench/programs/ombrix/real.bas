10 REM Real arithmetic: division, SQR and SIN. Checksum: the sum of INT(100 * block sum).
20 LET K = 0
30 FOR I = 1 TO 400000
40 LET S = 0.0
50 FOR J = 1 TO 20
60 LET X = (I + J) / 7.0
70 LET Y = SQR(X)
80 LET Z = (SIN(Y) + 1.5) / Y
90 LET S = S + Z * 10.0
100 NEXT J
110 LET K = K + INT(S * 100.0)
120 NEXT I
130 PRINT "X", K
140 END
