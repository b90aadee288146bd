10 PRINT "first"
#!/usr/bin/env ombrix
﻿20 PRINT "second"
30 PRINT "third"
