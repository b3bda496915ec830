package se.quillon.varn;

/** The main class with a main that takes no array: not the entry point the launcher looks up. */
public final class Varn {
  private Varn() {}

  public static void main(String single) {}
}
