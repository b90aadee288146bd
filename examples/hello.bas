10 REM A first program: a greeting and a small table
20 PRINT "Hello from ombrix!"
30 FOR I = 1 TO 5
40 PRINT I, " squared is ", I * I
50 NEXT I
60 END
