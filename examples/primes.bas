10 REM The primes below 60, by trial division with MOD
20 LET K = 0
30 FOR N = 2 TO 59
40 LET P = 1
50 REM Try the divisors 2 to the square root of N
60 FOR D = 2 TO SQR(N)
70 IF N MOD D = 0 THEN LET P = 0
80 NEXT D
90 IF P = 1 THEN GOSUB 200
100 NEXT N
110 PRINT K, " primes found"
120 END
200 REM Count and show one prime
210 LET K = K + 1
220 PRINT "prime ", K, ": ", N
230 RETURN
