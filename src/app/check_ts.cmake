# Fails unless the generated .ts file holds the window's texts as they are shown.
file(READ ${TS} content)
foreach(text "Open Backup..." "Compare with Backup..." "Load from BRT File" "Choice Com")
  string(FIND "${content}" "<source>${text}</source>" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${TS} lacks \"${text}\"")
  endif()
endforeach()
