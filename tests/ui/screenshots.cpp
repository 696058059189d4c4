// Pictures of the windows for the documentation: tarvex_screenshots OUTPUT_FOLDER.
int main() {
  return 0;
}
