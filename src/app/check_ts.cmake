# Fails unless the generated .ts file holds the window's texts as they are shown, and the
# texts the layers below give through TrText, split literals joined.
file(READ ${TS} content)
foreach(text "Open Backup..." "Compare with Backup..." "Load from BRT File" "Choice Com"
             "There are no items to save."
             "NV Item ID = %1: element %2 lies outside the %3 elements of its definition and was left out.")
  string(FIND "${content}" "<source>${text}</source>" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${TS} lacks \"${text}\"")
  endif()
endforeach()
