10 PRINT "the old program"
20 END
