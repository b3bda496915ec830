package se.quillon.varn;

/** The only class of a jar that lacks the application's main class. */
public final class Helper {
  private Helper() {}

  public static void main(String[] args) {}
}
