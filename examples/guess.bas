10 REM Guess the number: INPUT and RND
20 REM RND starts from the same seed every time, so the number is the same
30 REM on every run; add the line  15 RANDOMIZE  for a new one each time.
40 REM The first value after start is always tiny, so skip it.
50 LET X = RND
60 LET S = INT(RND * 100) + 1
70 LET T = 0
80 PRINT "I am thinking of a number from 1 to 100. Type 0 to give up."
90 LET G = 0
100 PRINT "Your guess?"
110 INPUT G
120 IF G = 0 THEN GOTO 200
130 LET T = T + 1
140 IF G < S THEN PRINT G, " is too low."
150 IF G > S THEN PRINT G, " is too high."
160 IF G <> S THEN GOTO 90
170 PRINT "Right! It was ", S, ". You needed ", T, " guesses."
180 END
200 PRINT "Giving up? It was ", S, "."
