# Writes a pseudo-translation of TS into OUT: every source text, bracketed "⟦...⟧", as its
# translation. A window shown with it tells at a glance which texts missed translation.
file(READ ${TS} content)
string(REGEX REPLACE "<source>([^<]*)</source>([ \n]*)<translation type=\"unfinished\"></translation>"
       "<source>\\1</source>\\2<translation>⟦\\1⟧</translation>" content "${content}")
file(WRITE ${OUT} "${content}")
